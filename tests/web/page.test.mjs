// The preview page in headless Chromium, opened from disk and driven as a person
// would: open a song, play, pause, stop, play from an order, save, open a refused
// file. What it shows and plays is compared with the native tool and with the module
// in Node. Needs build/web/vantor-preview.html, build/release/vantor, Debian's
// chromium and puppeteer-core (npm ci here); skips, saying why, without them.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";
import { existsSync, mkdtempSync, readFileSync, readdirSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join, resolve } from "node:path";
import { pathToFileURL } from "node:url";

const root = resolve(import.meta.dirname, "../..");
const pagePath = join(root, "build/web/vantor-preview.html");
const modulePath = join(root, "build/web/vantor.mjs");
const tool = join(root, "build/release/vantor");
const chromium = process.env.VANTOR_CHROMIUM ?? "/usr/bin/chromium";
const corpus = process.env.VANTOR_CORPUS ?? resolve(root, "../shared/corpus");

let puppeteer = null;
try {
  puppeteer = (await import("puppeteer-core")).default;
} catch {}
const missing = [
  [existsSync(pagePath), `${pagePath} (./scripts/build-web)`],
  [existsSync(tool), `${tool} (the release build)`],
  [existsSync(chromium), `${chromium} (Debian's chromium)`],
  [puppeteer !== null, "puppeteer-core (npm ci in tests/web)"],
].filter(([present]) => !present).map(([, what]) => what);
const skip = missing.length > 0 ? `missing ${missing.join(", ")}` : false;
const skipCorpus = skip || (existsSync(join(corpus, "songs")) ? false : `no song corpus at ${corpus}`);

const vantor = skip ? null : await import(modulePath);
let browser = null;
let page = null;
let downloads = null;

const pause = (ms) => new Promise((done) => setTimeout(done, ms));
const text = (selector) => page.$eval(selector, (element) => element.textContent);
const runTool = (...args) => spawnSync(tool, args, { maxBuffer: 1 << 28 });

// The corpus song with the most cell findings; the one the page is tried with.
async function songWithFindings() {
  let best = null;
  for (const name of readdirSync(join(corpus, "songs")).sort()) {
    const path = join(corpus, "songs", name);
    const song = await vantor.loadSong(readFileSync(path), path).catch(() => null);
    if (song === null) continue;
    const cells = song.findings.filter((finding) => finding.order !== null);
    if (cells.length > 0 && (best === null || cells.length > best.cells.length)) best = { path, name, cells, song };
    else song.free();
  }
  return best;
}

async function openFile(path) {
  const input = await page.$("#file");
  await input.uploadFile(path);
}

// The debug line: what is heard and how much, how much is queued, how often it ran dry.
async function heard() {
  const line = await text("#debug");
  if (line === "") return { order: 0, row: 0, played: 0, from: 0, queued: 0, underruns: 0 }; // no song yet
  const [, order, row, played, from, queued, underruns] = line
    .match(/order (\d+) row (\d+) · frames played (\d+) from frame (\d+) · queued (\d+) · underruns (\d+)/)
    .map(Number);
  return { order, row, played, from, queued, underruns };
}

before(async () => {
  if (skip) return;
  downloads = mkdtempSync(join(tmpdir(), "vantor-downloads-"));
  browser = await puppeteer.launch({
    executablePath: chromium,
    headless: true,
    args: ["--no-sandbox", "--autoplay-policy=no-user-gesture-required"],
  });
  page = await browser.newPage();
  await page.setViewport({ width: 1400, height: 1000 });
  const errors = [];
  page.on("pageerror", (error) => errors.push(error.message));
  const session = await page.createCDPSession();
  await session.send("Browser.setDownloadBehavior", { behavior: "allow", downloadPath: downloads });
  await page.goto(pathToFileURL(pagePath).href);
  await page.waitForFunction(() => document.body.dataset.ready === "true", { timeout: 30000 });
  page.errors = errors;
});

after(async () => {
  await browser?.close();
  if (downloads) rmSync(downloads, { recursive: true, force: true });
});

test("a song opened from disk plays with its findings at their cells, as the tool renders it", { skip: skipCorpus }, async () => {
  const chosen = await songWithFindings();
  assert.ok(chosen, "no corpus song has a finding at a cell");
  await openFile(chosen.path);
  await page.waitForFunction(() => document.querySelectorAll("#findings li .where").length > 0, { timeout: 60000 });

  // The findings list: one line per finding of check, with its three texts.
  const items = await page.$$eval("#findings li", (lines) => lines.map((line) => line.textContent));
  assert.equal(items.length, chosen.song.findings.length);
  const first = chosen.song.findings[0];
  assert.ok(items[0].includes(first.vantor) && items[0].includes(first.trackers) && items[0].includes(first.advice));

  // The pattern view marks the finding's cell once play reaches its order.
  const target = chosen.cells[0];
  await page.$eval("#from-order", (input, order) => (input.value = String(order)), target.order);
  await page.click("#play-from");
  // The title may already name the order (order 0 is shown on opening): wait for a row heard there too.
  await page.waitForFunction((order) => document.querySelector("#pattern-title").textContent.endsWith(`order ${order}`) &&
    document.querySelector("#pattern .playing") !== null, { timeout: 30000 }, target.order);
  const marked = await page.$eval(`#pattern .line[data-row="${target.row}"]`,
    (line, channel) => { const cell = line.querySelectorAll(".cell")[channel]; return { found: cell.classList.contains("found"), text: cell.dataset.finding }; },
    target.channel);
  assert.ok(marked.found, `order ${target.order} row ${target.row} channel ${target.channel} is not marked`);
  assert.ok(marked.text.includes(target.construct));

  // Play runs and the highlighted row follows what is heard.
  const rowBefore = await page.$eval("#pattern .playing", (line) => line.dataset.row);
  await pause(700);
  const rowAfter = await page.$eval("#pattern .playing", (line) => line.dataset.row);
  assert.notEqual(rowAfter, rowBefore, "the highlighted row does not move");
  await page.screenshot({ path: join(root, "build/web/preview-playing.png") });

  // Paused, the highlighted row is the module's position after the frames heard.
  await page.focus("#pattern");
  await page.keyboard.press("Space");
  await pause(300);
  const paused = await heard();
  const highlighted = Number(await page.$eval("#pattern .playing", (line) => line.dataset.row));
  const copy = await vantor.loadSong(readFileSync(chosen.path));
  copy.render(paused.from);
  copy.render(paused.played);
  assert.deepEqual({ order: paused.order, row: highlighted }, { order: copy.position.order, row: copy.position.row });
  copy.free();

  // Stop is silence: nothing more is played.
  await page.click("#stop");
  await pause(400);
  assert.match(await text("#debug"), /frames played 0 /);

  // The page's own audio graph, rendered offline at volume 1, is the tool's PCM.
  const [left, right] = await page.evaluate(async () => {
    const channels = await window.vantorPreview.renderOffline(5);
    return channels.map((channel) => Array.from(channel));
  });
  const wav = runTool("render", chosen.path, "-o", "-", "--seconds", "5").stdout;
  const pcm = new Int16Array(wav.buffer.slice(wav.byteOffset + 44, wav.byteOffset + wav.length));
  let differing = 0;
  for (let i = 0; i < left.length; i++) {
    if (left[i] !== pcm[2 * i] / 32768 || right[i] !== pcm[2 * i + 1] / 32768) differing++;
  }
  assert.equal(left.length, 5 * 44100);
  assert.equal(differing, 0, "frames of the page's graph differ from the tool's");
  chosen.song.free();
  assert.deepEqual(page.errors, []);
});

test("a refused file shows the loader's reason and the next file loads", { skip: skipCorpus }, async () => {
  const paths = readdirSync(join(corpus, "songs")).sort().map((name) => join(corpus, "songs", name));
  const refused = paths.find((path) => runTool("info", path).status !== 0);
  const loadable = paths.find((path) => runTool("info", path).status === 0);
  await openFile(refused);
  await page.waitForFunction(() => document.querySelector("#error").textContent !== "", { timeout: 10000 });
  const name = refused.split("/").pop();
  const reason = runTool("info", refused).stderr.toString().trimEnd().split("\n")
    .map((line) => line.replace(/^vantor: /, "")).join("\n").replaceAll(`'${refused}'`, `'${name}'`);
  assert.equal(await text("#error"), reason);
  await openFile(loadable);
  await page.waitForFunction((wanted) => document.querySelector("#song-name").textContent === wanted,
    { timeout: 10000 }, loadable.split("/").pop());
  assert.equal(await text("#error"), "");
});

// A page handed on alone must carry the licences of the code compiled into it.
test("the page shows vantor's licence and those of the code emscripten compiled into it", { skip }, async () => {
  const shown = await page.$$eval("#licences details", (all) =>
    all.map((details) => [details.querySelector("summary").textContent, details.querySelector("pre").textContent]));
  assert.deepEqual(shown.map(([name]) => name).sort(), ["LICENSE", "LLVM-runtime.txt", "emscripten.txt", "musl.txt"]);
  assert.ok(shown.every(([, text]) => /Permission is hereby granted|Apache License/.test(text)));
});

// Underruns count, over the page's life, the render quanta in which the worklet had
// too little to play once a song's sound had begun.
test("the sound never runs dry from a song's start on, even with the page busy for 100 ms", { skip }, async () => {
  const before = await heard();
  await page.click("#demo");
  await page.waitForFunction(() => document.querySelector("#song-name").textContent === "demo.xm");
  await page.waitForFunction(() => /frames played [1-9]/.test(document.querySelector("#debug").textContent));
  await pause(300);
  await page.evaluate(() => {
    const end = performance.now() + 100;
    while (performance.now() < end);
  });
  await pause(300);
  const after = await heard();
  assert.ok(after.played > 0.5 * 44100, `only ${after.played} frames played`);
  assert.equal(after.underruns, before.underruns, "the sound ran dry");
});

test("Save as WAV gives the bytes of vantor render", { skip }, async () => {
  await page.click("#demo");
  await page.waitForFunction(() => document.querySelector("#song-name").textContent === "demo.xm");
  await page.click("#save");
  const saved = join(downloads, "demo.wav");
  for (let i = 0; i < 600 && !existsSync(saved); i++) await pause(100);
  await pause(300);
  assert.ok(existsSync(saved), "no WAV file was saved");
  const expected = runTool("render", "--demo", "-o", "-").stdout;
  assert.ok(readFileSync(saved).equals(expected), "the saved WAV file differs from vantor render's");
});
