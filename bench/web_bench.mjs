// The browser module's speed against the native renderer, in one run, on the same
// song and the same length of audio; and the preview page's time from the file being
// read to its first sound. Run by ./scripts/bench --web after ./scripts/build-web.
//   node bench/web_bench.mjs SONG.xm [SECONDS] [ROUNDS]
//
// Speeds are seconds of audio per CPU second (times real time), the least of ROUNDS
// runs, so that other work on the machine weighs little:
// - natively, the tool's render to /dev/null of SECONDS, less the same run of one
//   block (the tool's start and the song's load), as the CPU time of the child;
// - in Node, song.render a second at a time into one array (as a page renders into
//   the arrays it hands to its worklet), as this process's CPU time;
// - in headless Chromium, the same in a page, as its main thread's CPU time.
// The wall-clock speeds, least time of the rounds too, are shown beside them.
import { spawnSync } from "node:child_process";
import { readFileSync } from "node:fs";
import { createRequire } from "node:module";
import { join, resolve } from "node:path";
import { pathToFileURL } from "node:url";

const root = resolve(import.meta.dirname, "..");
const [song, secondsText = "600", roundsText = "5"] = process.argv.slice(2);
const rounds = Number(roundsText);
const frames = Math.ceil((Number(secondsText) * 44100) / 884) * 884;
const audioSeconds = frames / 44100;
const pagePath = join(root, "build/web/vantor-preview.html");
const moduleSource = readFileSync(join(root, "build/web/vantor.mjs"), "utf8");
const songBytes = readFileSync(song);

// The least CPU and wall time of the rounds of `run`, which returns {cpu, wall} in seconds.
async function least(run) {
  let best = { cpu: Infinity, wall: Infinity };
  for (let round = 0; round < rounds; round++) {
    const { cpu, wall } = await run();
    best = { cpu: Math.min(best.cpu, cpu), wall: Math.min(best.wall, wall) };
  }
  return best;
}

// CPU seconds of the children this process has waited for (/proc/self/stat, in clock ticks).
function childrenCpu() {
  const stat = readFileSync("/proc/self/stat", "utf8");
  const fields = stat.slice(stat.lastIndexOf(")") + 2).split(" ");
  const ticksPerSecond = 100;
  return (Number(fields[13]) + Number(fields[14])) / ticksPerSecond;
}

function toolRender(secondsArgument) {
  const cpuBefore = childrenCpu();
  const started = performance.now();
  const run = spawnSync(join(root, "build/release/vantor"), ["render", song, "-o", "/dev/null", "--seconds", secondsArgument]);
  if (run.status !== 0) throw new Error(`vantor render failed: ${run.stderr}`);
  return { cpu: childrenCpu() - cpuBefore, wall: (performance.now() - started) / 1000 };
}

const nativeWhole = await least(() => toolRender(String(audioSeconds)));
const nativeStart = await least(() => toolRender("0.02"));
const native = { cpu: nativeWhole.cpu - nativeStart.cpu, wall: nativeWhole.wall - nativeStart.wall };

// Node: the module in this process.
const vantor = await import(join(root, "build/web/vantor.mjs"));
await vantor.ready();
const node = await least(async () => {
  const loaded = await vantor.loadSong(songBytes);
  const cpuBefore = process.cpuUsage();
  const started = performance.now();
  const pcm = new Int16Array(2 * 44100);
  for (let done = 0; done < frames; done += 44100) loaded.render(Math.min(44100, frames - done), pcm);
  const wall = (performance.now() - started) / 1000;
  const cpu = process.cpuUsage(cpuBefore);
  loaded.free();
  return { cpu: (cpu.user + cpu.system) / 1e6, wall };
});

// Chromium: the module in a page opened from disk, where it finds its own address as
// it does in the preview.
const require = createRequire(join(root, "tests/web/package.json"));
const puppeteer = require("puppeteer-core");
const browser = await puppeteer.launch({
  executablePath: process.env.VANTOR_CHROMIUM ?? "/usr/bin/chromium",
  headless: true,
  args: ["--no-sandbox", "--autoplay-policy=no-user-gesture-required"],
});
const page = await browser.newPage();
await page.goto(pathToFileURL(pagePath).href);
await page.addScriptTag({
  type: "module",
  content: `${moduleSource}\nwindow.benchLoad = async (bytes) => { await ready(); window.benchSong = await loadSong(Uint8Array.from(bytes)); };
    window.benchRender = (frames) => {
      const started = performance.now();
      const pcm = new Int16Array(2 * 44100);
      for (let done = 0; done < frames; done += 44100) window.benchSong.render(Math.min(44100, frames - done), pcm);
      window.benchSong.free();
      return (performance.now() - started) / 1000;
    };`,
});
await page.waitForFunction(() => typeof window.benchRender === "function");
const session = await page.createCDPSession();
await session.send("Performance.enable");
const threadTime = async () =>
  (await session.send("Performance.getMetrics")).metrics.find((metric) => metric.name === "ThreadTime").value;
const chromium = await least(async () => {
  await page.evaluate((bytes) => window.benchLoad(bytes), Array.from(songBytes));
  const cpuBefore = await threadTime();
  const wall = await page.evaluate((count) => window.benchRender(count), frames);
  return { cpu: (await threadTime()) - cpuBefore, wall };
});

// The preview page: from the file being read to its first sound, as the page measures
// it (when the output presents the first frame), and the underruns over the first
// three seconds of play, while the page also examines the song.
const starts = [];
for (let round = 0; round < rounds; round++) {
  const preview = await browser.newPage();
  await preview.goto(pathToFileURL(pagePath).href);
  await preview.waitForFunction(() => document.body.dataset.ready === "true", { timeout: 20000 });
  // A person takes a moment to choose a file; the sound output has started meanwhile.
  await new Promise((done) => setTimeout(done, 1000));
  await (await preview.$("#file")).uploadFile(song);
  await preview.waitForFunction(() => /first sound (\d+) ms/.test(document.querySelector("#debug").textContent), {
    timeout: 20000,
  });
  await new Promise((done) => setTimeout(done, 3000));
  const line = await preview.$eval("#debug", (element) => element.textContent);
  starts.push({ firstSound: Number(line.match(/first sound (\d+) ms/)[1]), underruns: Number(line.match(/underruns (\d+)/)[1]) });
  await preview.close();
}
await browser.close();

const speed = (time) => (audioSeconds / time).toFixed(0);
const share = (wasm) => (native.cpu / wasm.cpu).toFixed(2);
const firstSounds = starts.map((start) => start.firstSound).sort((a, b) => a - b);
console.log(`song: ${song}, ${audioSeconds.toFixed(1)} s rendered, least of ${rounds} rounds`);
console.log(`render speed, x real time per CPU second: native ${speed(native.cpu)}, Node ${speed(node.cpu)} ` +
  `(${share(node)} of native), Chromium ${speed(chromium.cpu)} (${share(chromium)} of native)`);
console.log(`render speed, x real time per wall second: native ${speed(native.wall)}, Node ${speed(node.wall)}, ` +
  `Chromium ${speed(chromium.wall)}`);
console.log(`the tool's start and load: ${(nativeStart.wall * 1000).toFixed(0)} ms; its whole run of ` +
  `${audioSeconds.toFixed(0)} s: ${(nativeWhole.wall * 1000).toFixed(0)} ms`);
console.log(`preview page: first sound ${firstSounds.join(", ")} ms after the file was read ` +
  `(median ${firstSounds[Math.floor(rounds / 2)]}); underruns in the first 3 s: ` +
  `${starts.map((start) => start.underruns).join(", ")}`);
console.log(`sizes: vantor.mjs ${moduleSource.length} bytes, vantor-preview.html ${readFileSync(pagePath).length} bytes`);
console.log(`load average while measuring: ${readFileSync("/proc/loadavg", "utf8").split(" ").slice(0, 3).join(" ")}`);
