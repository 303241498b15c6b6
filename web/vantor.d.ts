// Type declarations of vantor.mjs, the vantor player for web pages and Node.

/** The output rate: 44100 frames per second. */
export const sampleRate: 44100;
/** The renderer's block: 884 frames (20 ms). */
export const blockFrames: 884;

/** The fields of `vantor info`. */
export interface SongInfo {
  moduleName: string;
  trackerName: string;
  channels: number;
  songLength: number;
  restartPosition: number;
  patterns: number;
  instruments: number;
  samples: number;
  frequencyTable: "linear" | "Amiga";
  defaultSpeed: number;
  defaultBpm: number;
  /** One pass in frames (at most 20 minutes). */
  onePassFrames: number;
  /** No row came back within 20 minutes. */
  onePassLimited: boolean;
  /** What the loader had to refuse or limit, one line each. */
  loaderNotes: string[];
  /** info's lines before the loader notes, as [field, value], in its words. */
  lines: [string, string][];
}

/** One line of `vantor check`; order, row and channel are null for the whole file. */
export interface Finding {
  order: number | null;
  row: number | null;
  channel: number | null;
  construct: string;
  vantor: string;
  trackers: string;
  advice: string;
  /** For the whole file: where in it ("instrument 2 sample 0"); null for a cell. */
  where: string | null;
}

export interface Cell {
  /** 0 none, 1..96 notes from C-0, 255 key-off. */
  note: number;
  /** 0 none, else as the pattern writes it (from 1). */
  instrument: number;
  /** The volume column's byte as stored. */
  volume: number;
  effect: number;
  param: number;
}

export interface Position {
  order: number;
  row: number;
  tick: number;
}

export interface Song {
  readonly info: SongInfo;
  readonly findings: Finding[];
  /** Runs the examination behind info and findings in slices; resolves when done. */
  examine(sliceMilliseconds?: number): Promise<void>;
  /**
   * The next frames from play start, interleaved stereo, as `vantor render` writes them:
   * a new array, or the first `frames` x 2 values of `into`, written (a browser saves
   * making a large array for each call).
   */
  render(frames: number, into?: Int16Array): Int16Array;
  /** Back to play start, as the song was loaded. */
  restart(): void;
  /** Order position, row and tick of the last frame rendered. */
  readonly position: Position;
  readonly channelCount: number;
  /** The pattern number at each order position. */
  readonly orders: number[];
  /** Rows x channels of cells; [] for an index outside the song. */
  pattern(index: number): Cell[][];
  /** A listening aid the game has not: these channels (from 0) are heard silent. */
  setMutedChannels(channels: Iterable<number>): void;
  free(): void;
}

/**
 * Loads a song from its XM bytes. Rejects with an Error whose message is the reason
 * `vantor info` gives, naming the song 'name' (or "the song").
 */
export function loadSong(bytes: Uint8Array, name?: string, options?: { apart?: boolean }): Promise<Song>;
/** Compiles and instantiates the module ahead of the first song. */
export function ready(): Promise<unknown>;
/** The tool's built-in demo song as XM bytes. */
export function demoSongBytes(): Promise<Uint8Array>;
/** Bytes in use on the module's heaps. */
export function heapInUse(): Promise<number>;
