// The browser module's speed against the native tool, in one run: render speed in
// multiples of real time in Node, in headless Chromium and natively (vantor render to
// /dev/null), on the same song; and the preview page's time from the file being read
// to its first sound. Run by ./scripts/bench --web after ./scripts/build-web.
//   node bench/web_bench.mjs SONG.xm [SECONDS]
import { spawnSync } from "node:child_process";
import { readFileSync } from "node:fs";
import { createRequire } from "node:module";
import { join, resolve } from "node:path";
import { pathToFileURL } from "node:url";

const root = resolve(import.meta.dirname, "..");
const [song, secondsText = "60"] = process.argv.slice(2);
const seconds = Number(secondsText);
const frames = Math.ceil((seconds * 44100) / 884) * 884;
const moduleSource = readFileSync(join(root, "build/web/vantor.mjs"), "utf8");

// Node: the best of three renders of the same frames, after the instances are made.
const vantor = await import(join(root, "build/web/vantor.mjs"));
await vantor.ready();
let nodeBest = Infinity;
for (let round = 0; round < 3; round++) {
  const loaded = await vantor.loadSong(readFileSync(song));
  const started = performance.now();
  loaded.render(frames);
  nodeBest = Math.min(nodeBest, performance.now() - started);
  loaded.free();
}

// Natively: the tool's whole run, best of three.
let nativeBest = Infinity;
for (let round = 0; round < 3; round++) {
  const started = performance.now();
  spawnSync(join(root, "build/release/vantor"), ["render", song, "-o", "/dev/null", "--seconds", secondsText]);
  nativeBest = Math.min(nativeBest, performance.now() - started);
}

// Chromium: the module in a page, and the preview page's first sound.
const require = createRequire(join(root, "tests/web/package.json"));
const puppeteer = require("puppeteer-core");
const browser = await puppeteer.launch({
  executablePath: "/usr/bin/chromium",
  headless: true,
  args: ["--no-sandbox", "--autoplay-policy=no-user-gesture-required"],
});
const page = await browser.newPage();
// A page from disk, where the module finds its own address as it does in the preview.
await page.goto(pathToFileURL(join(root, "build/web/vantor-preview.html")).href);
const bytes = Array.from(readFileSync(song));
await page.addScriptTag({
  type: "module",
  content: `${moduleSource}\nwindow.benchRender = async (bytes, frames) => {
    await ready(); let best = Infinity;
    for (let round = 0; round < 3; round++) {
      const song = await loadSong(Uint8Array.from(bytes)); const started = performance.now();
      song.render(frames); best = Math.min(best, performance.now() - started); song.free();
    }
    return best; };`,
});
await page.waitForFunction(() => typeof window.benchRender === "function");
const chromiumBest = await page.evaluate((b, f) => window.benchRender(b, f), bytes, frames);

const preview = await browser.newPage();
await preview.goto(pathToFileURL(join(root, "build/web/vantor-preview.html")).href);
await new Promise((done) => setTimeout(done, 1500));
await (await preview.$("#file")).uploadFile(song);
await preview.waitForFunction(() => /first sound (\d+) ms/.test(document.querySelector("#debug").textContent), {
  timeout: 20000,
});
const firstSound = (await preview.$eval("#debug", (line) => line.textContent)).match(/first sound (\d+) ms/)[1];
await browser.close();

const times = (ms) => ((frames / 44100) / (ms / 1000)).toFixed(0);
console.log(`song: ${song}, ${(frames / 44100).toFixed(1)} s rendered`);
console.log(`render speed (x real time): Node ${times(nodeBest)}, Chromium ${times(chromiumBest)}, ` +
  `native ${times(nativeBest)} (the tool's whole run)`);
console.log(`preview page: first sound ${firstSound} ms after the file was read (output latency included)`);
console.log(`sizes: vantor.mjs ${moduleSource.length} bytes, vantor-preview.html ` +
  `${readFileSync(join(root, "build/web/vantor-preview.html")).length} bytes`);
