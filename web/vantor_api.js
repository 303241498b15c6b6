// vantor for web pages and Node: the API of vantor.mjs, over the C entry points of
// web/module_exports.cpp. emscripten puts this after its factory
// (createVantorInstance); the build puts the WebAssembly in VANTOR_WASM_BASE64.
//
// Two instances of the same compiled module: one plays (loads, renders, shows
// patterns), one examines (info and check's findings replay the song, mixer
// included, and the player keeps one voice pool and channel table per instance, as
// the game does).

const VANTOR_WASM_BASE64 = "@VANTOR_WASM_BASE64@";

export const sampleRate = 44100;
export const blockFrames = 884;

let compiled = null;
let player = null;
let examiner = null;

function wasmBytes() {
  const text = atob(VANTOR_WASM_BASE64);
  const bytes = new Uint8Array(text.length);
  for (let i = 0; i < text.length; i++) bytes[i] = text.charCodeAt(i);
  return bytes;
}

async function newInstance() {
  compiled ??= WebAssembly.compile(wasmBytes());
  const module = await compiled;
  return createVantorInstance({
    instantiateWasm(imports, done) {
      WebAssembly.instantiate(module, imports).then((instance) => done(instance, module));
      return {};
    },
  });
}

// Both instances, made once; a page calls this at start so that a song's first sound
// does not wait for the compilation.
export async function ready() {
  player ??= newInstance();
  examiner ??= newInstance();
  return Promise.all([player, examiner]);
}

function textAt(instance, address) {
  const heap = instance.HEAPU8;
  let end = address;
  while (heap[end] !== 0) end++;
  return new TextDecoder().decode(heap.subarray(address, end));
}

// Copies bytes into the instance's heap for one call, with a name as C text.
function withBytes(instance, bytes, name, call) {
  const nameBytes = new TextEncoder().encode(name + "\0");
  const address = instance._malloc(bytes.length + nameBytes.length);
  if (address === 0) throw new Error("out of memory for the song's bytes");
  try {
    instance.HEAPU8.set(bytes, address);
    instance.HEAPU8.set(nameBytes, address + bytes.length);
    return call(address, address + bytes.length);
  } finally {
    instance._free(address);
  }
}

// How the tool names a song in its reasons: 'path' for a file.
function shownName(name) {
  return name === undefined ? "the song" : `'${name}'`;
}

// A song from its XM bytes; `name` names it in a refusal as the tool names a file.
// With { apart: true } it renders in the examining instance, beside a song that
// plays (to save a WAV file while listening); it is then not examined while it renders.
export async function loadSong(bytes, name, { apart = false } = {}) {
  const [play, examine] = await ready();
  const renderer = apart ? examine : play;
  const handle = withBytes(renderer, bytes, shownName(name), (at, nameAt) =>
    renderer._vantor_load(at, bytes.length, nameAt),
  );
  if (handle === 0) throw new Error(textAt(renderer, renderer._vantor_error()));
  return new Song(renderer, examine, Uint8Array.from(bytes), handle);
}

// The built-in demo song of the tool, as XM bytes.
export async function demoSongBytes() {
  const [play] = await ready();
  const at = play._vantor_demo_song();
  return play.HEAPU8.slice(at, at + play._vantor_demo_song_size());
}

// Bytes in use on the two instances' heaps, to see that songs freed leave nothing.
export async function heapInUse() {
  const [play, examine] = await ready();
  return play._vantor_heap_in_use() + examine._vantor_heap_in_use();
}

// Ticks per call of the examination: each is replayed and mixed, so a call of 16 takes
// a millisecond or two and a slice ends near its time (a page renders the song it plays
// between slices).
const ticksPerExamineStep = 16;

export class Song {
  #play;
  #examine;
  #bytes;
  #handle;
  #examined = null;
  #examining = null;

  constructor(play, examine, bytes, handle) {
    this.#play = play;
    this.#examine = examine;
    this.#bytes = bytes;
    this.#handle = handle;
  }

  #alive() {
    if (this.#handle === 0) throw new Error("the song has been freed");
    return this.#handle;
  }

  // The fields of vantor info.
  get info() {
    return this.#examineNow().info;
  }

  // The findings of vantor check, in its order.
  get findings() {
    return this.#examineNow().findings;
  }

  // Runs the examination behind info and findings a slice at a time, leaving the
  // event loop free between slices (a page keeps playing meanwhile).
  examine(sliceMilliseconds = 8) {
    this.#alive();
    this.#examining ??= new Promise((resolve, reject) => {
      const examine = this.#examine;
      const handle = withBytes(examine, this.#bytes, "the song", (at, nameAt) =>
        examine._vantor_load(at, this.#bytes.length, nameAt),
      );
      const step = () => {
        try {
          if (this.#examined === null) {
            const started = performance.now();
            let state;
            do state = examine._vantor_examine(handle, ticksPerExamineStep);
            while (state === 0 && performance.now() - started < sliceMilliseconds);
            if (state < 0) throw new Error(textAt(examine, examine._vantor_error()));
            if (state === 0) return void setTimeout(step, 0);
            this.#examined = {
              info: JSON.parse(textAt(examine, examine._vantor_info(handle))),
              findings: JSON.parse(textAt(examine, examine._vantor_findings(handle))),
            };
          }
          examine._vantor_free(handle);
          resolve();
        } catch (error) {
          examine._vantor_free(handle);
          reject(error);
        }
      };
      step();
    });
    return this.#examining;
  }

  #examineNow() {
    this.#alive();
    if (this.#examined === null) {
      const examine = this.#examine;
      const handle = withBytes(examine, this.#bytes, "the song", (at, nameAt) =>
        examine._vantor_load(at, this.#bytes.length, nameAt),
      );
      try {
        if (examine._vantor_examine(handle, 0xffffffff) !== 1) throw new Error(textAt(examine, examine._vantor_error()));
        this.#examined = {
          info: JSON.parse(textAt(examine, examine._vantor_info(handle))),
          findings: JSON.parse(textAt(examine, examine._vantor_findings(handle))),
        };
      } finally {
        examine._vantor_free(handle);
      }
    }
    return this.#examined;
  }

  // The next frames from play start, interleaved stereo, as vantor render writes them:
  // in a new array, or written into `into` (at least frames x 2 values), which saves
  // the browser making a new array for each call.
  render(frames, into = undefined) {
    const handle = this.#alive();
    if (!Number.isInteger(frames) || frames < 0) throw new RangeError("frames must be a whole number, 0 or more");
    if (into !== undefined && !(into instanceof Int16Array && into.length >= frames * 2)) {
      throw new RangeError("into must be an Int16Array of at least frames x 2 values");
    }
    const pcm = into === undefined ? new Int16Array(frames * 2) : into.subarray(0, frames * 2);
    if (frames === 0) return pcm;
    const play = this.#play;
    const address = play._vantor_render(handle, frames);
    if (address === 0) throw new Error(textAt(play, play._vantor_error()));
    pcm.set(play.HEAP16.subarray(address / 2, address / 2 + frames * 2));
    return pcm;
  }

  // Back to play start, as the song was loaded.
  restart() {
    const play = this.#play;
    if (!play._vantor_restart(this.#alive())) throw new Error(textAt(play, play._vantor_error()));
  }

  // Order position, row and tick of the last frame rendered.
  get position() {
    const play = this.#play;
    const at = play._vantor_position(this.#alive()) / 4;
    const [order, row, tick] = play.HEAP32.subarray(at, at + 3);
    return { order, row, tick };
  }

  get channelCount() {
    return this.#play._vantor_channels(this.#alive());
  }

  // The pattern number at each order position of the song.
  get orders() {
    const play = this.#play;
    const handle = this.#alive();
    const at = play._vantor_orders(handle);
    return Array.from(play.HEAPU8.subarray(at, at + play._vantor_song_length(handle)));
  }

  // Rows x channels of cells as stored: note (0 none, 1..96 from C-0, 255 key-off),
  // instrument (0 none), volume column byte, effect and parameter.
  pattern(index) {
    const play = this.#play;
    const handle = this.#alive();
    const rows = play._vantor_pattern_rows(handle, index);
    const channels = play._vantor_channels(handle);
    const at = play._vantor_pattern_cells(handle, index);
    const cells = [];
    for (let row = 0; row < rows; row++) {
      const line = [];
      for (let channel = 0; channel < channels; channel++) {
        const cell = at === 0 ? 0 : at + (row * channels + channel) * 5;
        const [note, instrument, volume, effect, param] =
          cell === 0 ? [0, 0, 0, 0, 0] : play.HEAPU8.subarray(cell, cell + 5);
        line.push({ note, instrument, volume, effect, param });
      }
      cells.push(line);
    }
    return cells;
  }

  // A listening aid the game does not have: the channels (counted from 0) heard
  // silent from the next tick on.
  setMutedChannels(channels) {
    let mask = 0;
    for (const channel of channels) if (channel >= 0 && channel < 32) mask |= 1 << channel;
    this.#play._vantor_set_muted(this.#alive(), mask >>> 0);
  }

  free() {
    if (this.#handle === 0) return;
    this.#play._vantor_free(this.#handle);
    this.#handle = 0;
  }
}
