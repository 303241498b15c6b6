// The browser module in Node against the native tool: the same PCM, the same info,
// the same findings and the same refusals for every corpus file, and no memory kept
// after a song is freed. Needs build/web/vantor.mjs (./scripts/build-web) and
// build/release/vantor; skips, saying why, without them or without the corpus.
import { test } from "node:test";
import assert from "node:assert/strict";
import { createHash } from "node:crypto";
import { spawnSync } from "node:child_process";
import { existsSync, readFileSync, readdirSync } from "node:fs";
import { join, resolve } from "node:path";

const root = resolve(import.meta.dirname, "../..");
const modulePath = join(root, "build/web/vantor.mjs");
const tool = join(root, "build/release/vantor");
const corpus = process.env.VANTOR_CORPUS ?? resolve(root, "../shared/corpus");

const missing = [
  [existsSync(modulePath), `${modulePath} (./scripts/build-web)`],
  [existsSync(tool), `${tool} (the release build)`],
].filter(([present]) => !present).map(([, what]) => what);
const skipModule = missing.length > 0 ? `missing ${missing.join(", ")}` : false;
const skipCorpus = skipModule || (existsSync(corpus) ? false : `no song corpus at ${corpus}`);

const vantor = skipModule ? null : await import(modulePath);

function corpusFiles() {
  return ["songs", "behaviour", "malformed"].flatMap((folder) => {
    const dir = join(corpus, folder);
    if (!existsSync(dir)) return [];
    return readdirSync(dir).filter((name) => name.endsWith(".xm")).sort().map((name) => join(dir, name));
  });
}

function runTool(...args) {
  return spawnSync(tool, args, { maxBuffer: 1 << 28 });
}

const sha = (bytes) => createHash("sha256").update(bytes).digest("hex");
const tenSecondFrames = Math.ceil((10 * 44100) / 884 - 1e-9) * 884; // whole blocks, as render --seconds 10

// The lines of check for one file, rebuilt from the module's findings.
function checkLines(path, findings) {
  return findings.map((f) =>
    f.order === null
      ? `${path}: ${f.construct} (${f.where}): ${f.vantor}; ${f.trackers}`
      : `${path}:${f.order}:${f.row}:${f.channel}: ${f.construct}: ${f.vantor}; ${f.trackers}`,
  );
}

// info's lines before its section on trackers, rebuilt from the module's info.
function infoText(info) {
  const lines = info.lines.map(([field, value]) => `${field}: ${value}`);
  if (info.loaderNotes.length === 0) lines.push("loader notes: none");
  else lines.push("loader notes:", ...info.loaderNotes.map((note) => `  ${note}`));
  return lines.join("\n");
}

test("every corpus file: render, info and check as the tool gives them, or its refusal", { skip: skipCorpus }, async () => {
  let loadable = 0;
  for (const path of corpusFiles()) {
    const bytes = readFileSync(path);
    const info = runTool("info", path);
    if (info.status !== 0) {
      const reason = info.stderr.toString().trimEnd().split("\n").map((line) => line.replace(/^vantor: /, "")).join("\n");
      await assert.rejects(vantor.loadSong(bytes, path), (error) => error.message === reason, path);
      continue;
    }
    loadable += 1;
    const song = await vantor.loadSong(bytes, path);
    try {
      // Two calls that split a block: render continues where it stopped, the second
      // into an array of the caller's, where it writes nothing past its frames.
      const first = song.render(1001);
      const into = new Int16Array(2 * (tenSecondFrames - 1001) + 2).fill(7);
      const rest = song.render(tenSecondFrames - 1001, into);
      assert.ok(rest.buffer === into.buffer && rest.length === into.length - 2 && into.at(-1) === 7);
      const pcm = Buffer.concat([Buffer.from(first.buffer), Buffer.from(into.buffer, 0, rest.byteLength)]);
      const wav = runTool("render", path, "-o", "-", "--seconds", "10").stdout;
      assert.equal(sha(pcm), sha(wav.subarray(44)), `${path}: rendered PCM`);

      const toolInfo = info.stdout.toString();
      assert.equal(infoText(song.info), toolInfo.slice(0, toolInfo.indexOf("\nsounds different")), `${path}: info`);
      const check = runTool("check", path).stdout.toString().trimEnd().split("\n").slice(0, -1);
      assert.deepEqual(checkLines(path, song.findings), check, `${path}: findings`);
    } finally {
      song.free();
    }
  }
  assert.ok(loadable > 0, "no corpus file loaded");
});

test("info's typed fields say what its lines say", { skip: skipModule }, async () => {
  const song = await vantor.loadSong(await vantor.demoSongBytes());
  const lines = Object.fromEntries(song.info.lines);
  const { info } = song;
  assert.equal(String(info.channels), lines.channels);
  assert.equal(String(info.defaultBpm), lines["default BPM"]);
  assert.equal(info.frequencyTable, lines["frequency table"]);
  assert.ok(lines["one pass"].includes(`(${info.onePassFrames} frames)`));
  song.free();
});

test("an examination run in slices, one call of a few ticks each, finds what one run at once finds", { skip: skipModule, timeout: 120000 }, async () => {
  const bytes = await vantor.demoSongBytes();
  const sliced = await vantor.loadSong(bytes);
  const atOnce = await vantor.loadSong(bytes);
  await sliced.examine(0);
  assert.deepEqual({ info: sliced.info, findings: sliced.findings }, { info: atOnce.info, findings: atOnce.findings });
  sliced.free();
  atOnce.free();
});

test("the position is that of the last frame rendered, across the end of a row", { skip: skipModule }, async () => {
  const song = await vantor.loadSong(await vantor.demoSongBytes());
  const { defaultSpeed, defaultBpm } = song.info;
  const rowFrames = defaultSpeed * Math.floor(110250 / defaultBpm);
  song.render(rowFrames);
  assert.deepEqual(song.position, { order: 0, row: 0, tick: defaultSpeed - 1 });
  song.render(1);
  assert.deepEqual(song.position, { order: 0, row: 1, tick: 0 });
  song.free();
});

test("restart plays the song from its start again, as loaded", { skip: skipModule }, async () => {
  const song = await vantor.loadSong(await vantor.demoSongBytes());
  const first = song.render(44100);
  song.restart();
  assert.deepEqual(song.position, { order: 0, row: 0, tick: 0 });
  assert.deepEqual(song.render(44100), first);
  song.free();
});

test("a pattern reads as the song stores it: rows by channels of cells", { skip: skipModule }, async () => {
  const song = await vantor.loadSong(await vantor.demoSongBytes());
  const pattern = song.pattern(song.orders[0]);
  assert.ok(pattern.length > 0);
  assert.ok(pattern.every((row) => row.length === song.info.channels));
  assert.ok(pattern.flat().some((cell) => cell.note > 0 && cell.note <= 96 && cell.instrument > 0));
  assert.deepEqual(song.pattern(-1), []);
  song.free();
});

test("a song that another song's rendering interrupted says so instead of playing on wrongly", { skip: skipModule }, async () => {
  const bytes = await vantor.demoSongBytes();
  const one = await vantor.loadSong(bytes);
  const two = await vantor.loadSong(bytes);
  one.render(884);
  two.render(884);
  assert.throws(() => one.render(884), /restart it first/);
  one.restart();
  assert.equal(one.render(884).length, 884 * 2);
  one.free();
  two.free();
});

test("loading and freeing a thousand times keeps nothing on the heap", { skip: skipModule }, async () => {
  const bytes = await vantor.demoSongBytes();
  const cycle = async () => {
    const song = await vantor.loadSong(bytes);
    song.render(884);
    song.free();
    await assert.rejects(vantor.loadSong(bytes.subarray(0, 200)), /refuses/);
  };
  await cycle();
  const before = await vantor.heapInUse();
  for (let i = 0; i < 1000; i++) await cycle();
  assert.equal(await vantor.heapInUse(), before);
});

test("a file that is not XM is refused with the tool's words", { skip: skipModule }, async () => {
  await assert.rejects(
    vantor.loadSong(new TextEncoder().encode("not a song at all, but long enough to hold a header ......")),
    { message: `the song is not an XM file (no "Extended Module: " ID)` },
  );
});
