// The preview page: load a song, show what the module says about it, play it. It
// runs after vantor.mjs in the page's one module script (so loadSong, ready and
// demoSongBytes are in scope), with VANTOR_WORKLET_SOURCE set by the build.
{
  const aheadFrames = 44100; // rendered ahead of what is heard: a stall of the page up to this is not heard
  const chunkFrames = 128; // one render quantum of Web Audio: the position is known for each
  const messageFrames = 1024; // handed to the worklet at once; the first is heard while the rest renders
  const startFrames = 16384; // rendered at once when play starts: more than the page's own work after it
  const supplyMilliseconds = 6; // rendering at one go beyond that, so that filling up never holds the page for long
  const passLimitFrames = 20 * 60 * 44100;

  const $ = (id) => document.getElementById(id);
  const ui = {
    file: $("file"), demo: $("demo"), drop: $("drop"), name: $("song-name"), error: $("error"),
    controls: $("controls"), play: $("play"), stop: $("stop"), fromOrder: $("from-order"),
    playFrom: $("play-from"), volume: $("volume"), volumeDb: $("volume-db"), save: $("save"),
    info: $("info"), findings: $("findings"), patternTitle: $("pattern-title"), pattern: $("pattern"),
    debug: $("debug"),
  };

  // The song and where its playback stands.
  let song = null;
  let songBytes = null;
  let songName = "";
  let examined = null; // {info, findings} once the examination has ended
  let playing = false;
  let sentFrames = 0; // rendered and handed to the worklet, from the position play began at
  let startFrame = 0; // the frame of the song at which the worklet's count begins
  let positions = []; // {frame, order, row}, one per chunk sent, oldest first
  let clears = 0; // of the worklet's queue; a report counted before the last one is out of date
  let heard = { played: 0, queued: 0, underruns: 0, silentFrames: 0 };
  let fileReadAt = 0;
  let firstSoundMs = null;
  const muted = new Set();
  const soloed = new Set();
  let shownOrder = -1;

  // Audio: one context at vantor's rate, so nothing is resampled by the page. It is
  // made with its worklet as the page starts, so that a song's first sound waits for
  // neither; where the browser holds sound back until the person acts, the first
  // click or key anywhere on the page resumes it, before a file is even chosen.
  let context = null;
  let worklet = null;
  let graphReady = null;

  // The page's audio graph on any context: the worklet, to the speakers. An
  // OfflineAudioContext gets the same graph (renderOffline below).
  async function buildGraph(audioContext) {
    // From a data: URL: a page opened from disk may not load a worklet from a blob: URL.
    await audioContext.audioWorklet.addModule("data:text/javascript," + encodeURIComponent(VANTOR_WORKLET_SOURCE));
    const node = new AudioWorkletNode(audioContext, "vantor-blocks", { numberOfInputs: 0, outputChannelCount: [2] });
    node.connect(audioContext.destination);
    return node;
  }

  function startAudio() {
    graphReady ??= (async () => {
      context = new AudioContext({ sampleRate: 44100, latencyHint: "interactive" });
      worklet = await buildGraph(context);
      worklet.port.onmessage = ({ data }) => heardReport(data);
      setVolume();
    })();
    return graphReady;
  }

  // The graph, and sound asked for. Not waited for: where the browser waits for a
  // gesture (a file dropped on a page never clicked), what is handed to the worklet
  // plays from its start once the person clicks or presses a key.
  async function audio() {
    await startAudio();
    if (context.state !== "running") context.resume().catch(() => {});
  }

  // ---- Load ----

  async function open(bytes, name) {
    fileReadAt = performance.now();
    ui.error.textContent = "";
    let loaded;
    try {
      loaded = await loadSong(bytes, name);
    } catch (refusal) {
      ui.error.textContent = refusal.message;
      return;
    }
    stop();
    song?.free();
    song = loaded;
    songBytes = bytes;
    songName = name;
    examined = null;
    firstSoundMs = null;
    muted.clear();
    soloed.clear();
    // Sound first: the song is fresh from the loader, at play start.
    await audio();
    startPlaying(0);
    ui.name.textContent = name;
    ui.controls.disabled = false;
    ui.fromOrder.max = String(song.orders.length - 1);
    ui.fromOrder.value = "0";
    shownOrder = -1;
    showOrder(0);
    showExamination(song);
  }

  // ---- Show ----

  // info and findings come from the module's examination, which runs in slices
  // while the song plays.
  async function showExamination(examinedSong) {
    ui.info.replaceChildren(line("examining", "the song is replayed once to find what sounds different…"));
    ui.findings.replaceChildren();
    await examinedSong.examine();
    if (examinedSong !== song) return;
    examined = { info: song.info, findings: song.findings };
    ui.info.replaceChildren(...examined.info.lines.map(([field, value]) => line(field, value)));
    if (examined.info.loaderNotes.length > 0) ui.info.append(line("loader notes", examined.info.loaderNotes.join("; ")));
    const items = examined.findings.map((finding) => {
      const item = document.createElement("li");
      const where = document.createElement("span");
      where.className = "where";
      where.textContent = finding.order === null ? `the file (${finding.where})` : cellName(finding);
      item.append(where, `: ${finding.construct}. ${finding.vantor}; ${finding.trackers}. To sound the same in both: ${finding.advice}.`);
      return item;
    });
    if (items.length === 0) {
      const none = document.createElement("li");
      none.textContent = "Nothing: the song plays as trackers play it, as far as vantor's rules go.";
      items.push(none);
    }
    ui.findings.replaceChildren(...items);
    shownOrder = -1;
    showOrder(currentPosition().order);
  }

  function line(field, value) {
    const term = document.createElement("dt");
    term.textContent = field;
    const description = document.createElement("dd");
    description.textContent = value;
    const pair = document.createDocumentFragment();
    pair.append(term, description);
    return pair;
  }

  const cellName = (finding) => `order ${finding.order} row ${finding.row} channel ${finding.channel}`;

  const noteNames = ["C-", "C#", "D-", "D#", "E-", "F-", "F#", "G-", "G#", "A-", "A#", "B-"];
  const hex = (value, digits) => value.toString(16).toUpperCase().padStart(digits, "0");
  const effectDigit = (effect) => (effect < 36 ? effect.toString(36).toUpperCase() : "?");
  const volumeLetters = "-+DUSVPLRM"; // 6x .. Fx

  // A cell in a tracker's notation: note, instrument, volume column, effect.
  function cellText({ note, instrument, volume, effect, param }) {
    const noteText = note === 0 ? "..." : note === 255 || note === 97 ? "===" :
      note <= 96 ? noteNames[(note - 1) % 12] + Math.floor((note - 1) / 12) : "???";
    const instrumentText = instrument === 0 ? ".." : hex(instrument, 2);
    let volumeText = "..";
    if (volume >= 0x10 && volume <= 0x50) volumeText = hex(volume - 0x10, 2);
    else if (volume >= 0x60) volumeText = volumeLetters[(volume >> 4) - 6] + hex(volume & 15, 1);
    const effectText = effect === 0 && param === 0 ? "..." : effectDigit(effect) + hex(param, 2);
    return `${noteText} ${instrumentText} ${volumeText} ${effectText}`;
  }

  // The pattern of an order position, its cells with findings marked.
  function showOrder(order) {
    if (order === shownOrder || song === null) return;
    shownOrder = order;
    const patternIndex = song.orders[order] ?? 0;
    ui.patternTitle.textContent = `Pattern ${patternIndex} at order ${order}`;
    const rows = song.pattern(patternIndex);
    const found = new Map();
    for (const finding of examined?.findings ?? []) {
      if (finding.order !== order) continue;
      const key = `${finding.row}:${finding.channel}`;
      found.set(key, (found.has(key) ? found.get(key) + "\n" : "") +
        `${finding.construct}: ${finding.vantor}; ${finding.trackers}. To sound the same in both: ${finding.advice}.`);
    }
    const lines = [channelHead()];
    rows.forEach((cells, row) => {
      const lineElement = document.createElement("span");
      lineElement.className = "line";
      lineElement.setAttribute("role", "row");
      lineElement.dataset.row = String(row);
      lineElement.append(hex(row, 2) + " ");
      cells.forEach((cell, channel) => {
        const cellElement = document.createElement("span");
        cellElement.className = "cell";
        cellElement.setAttribute("role", "gridcell");
        cellElement.textContent = cellText(cell);
        const finding = found.get(`${row}:${channel}`);
        if (finding) {
          cellElement.classList.add("found");
          cellElement.dataset.finding = finding;
          cellElement.title = finding;
          cellElement.tabIndex = 0;
          cellElement.setAttribute("aria-label", `${cellText(cell)}, row ${row} channel ${channel}: ${finding}`);
        }
        lineElement.append(cellElement, channel + 1 < cells.length ? "│" : "");
      });
      lines.push(lineElement);
    });
    ui.pattern.replaceChildren(...lines);
    highlightRow(-1);
  }

  function channelHead() {
    const head = document.createElement("div");
    head.className = "head";
    for (let channel = 0; channel < song.channelCount; channel++) {
      const box = document.createElement("span");
      box.append(`ch ${channel}`);
      for (const [label, set, what] of [["M", muted, "Mute"], ["S", soloed, "Solo"]]) {
        const button = document.createElement("button");
        button.type = "button";
        button.textContent = label;
        button.setAttribute("aria-label", `${what} channel ${channel} (listening aid)`);
        button.setAttribute("aria-pressed", String(set.has(channel)));
        button.addEventListener("click", () => {
          if (set.has(channel)) set.delete(channel);
          else set.add(channel);
          button.setAttribute("aria-pressed", String(set.has(channel)));
          applyListeningAid();
        });
        box.append(button);
      }
      head.append(box);
    }
    return head;
  }

  function applyListeningAid() {
    const silent = [];
    for (let channel = 0; channel < song.channelCount; channel++) {
      if (muted.has(channel) || (soloed.size > 0 && !soloed.has(channel))) silent.push(channel);
    }
    song.setMutedChannels(silent);
  }

  let highlighted = null;
  function highlightRow(row) {
    const target = row < 0 ? null : ui.pattern.querySelector(`.line[data-row="${row}"]`);
    if (target === highlighted) return;
    highlighted?.classList.remove("playing");
    highlighted?.removeAttribute("aria-current");
    highlighted = target;
    if (target) {
      target.classList.add("playing");
      target.setAttribute("aria-current", "true");
      const view = ui.pattern;
      const top = target.offsetTop - view.clientHeight / 2;
      if (Math.abs(view.scrollTop - top) > 4) view.scrollTop = top;
    }
  }

  // Where the frame last heard is: the position recorded for the chunk it ends.
  function currentPosition() {
    const frame = startFrame + heard.played;
    let found = positions[0] ?? { order: 0, row: 0 };
    let i = 0;
    while (i < positions.length && positions[i].frame <= frame) found = positions[i++];
    if (i > 1) positions.splice(0, i - 1);
    return found;
  }

  function showPlaying() {
    if (song !== null) {
      const position = currentPosition();
      if (heard.played > 0) {
        showOrder(position.order);
        highlightRow(position.row);
      }
      ui.debug.textContent =
        `heard: order ${position.order} row ${position.row} · frames played ${heard.played} from frame ${startFrame}` +
        ` · queued ${heard.queued} · underruns ${heard.underruns} (${heard.silentFrames} frames silent)` +
        (firstSoundMs === null ? "" : ` · first sound ${firstSoundMs.toFixed(0)} ms after the file was read`);
    }
    requestAnimationFrame(showPlaying);
  }

  // ---- Play ----

  // Renders ahead of what is heard, a chunk at a time with its position, and hands
  // the chunks to the worklet a message at a time. It stops after a few milliseconds;
  // the worklet's next report goes on.
  function supply(firstMessage = {}) {
    if (!playing || song === null) return;
    const started = performance.now();
    let message = firstMessage;
    const due = () => sentFrames < startFrames || performance.now() - started < supplyMilliseconds;
    while (sentFrames - heard.played < aheadFrames && due()) {
      const frames = new Int16Array(2 * messageFrames);
      for (let at = 0; at < messageFrames; at += chunkFrames) {
        song.render(chunkFrames, frames.subarray(2 * at));
        sentFrames += chunkFrames;
        const { order, row } = song.position;
        positions.push({ frame: startFrame + sentFrames, order, row });
      }
      worklet.port.postMessage({ ...message, frames }, [frames.buffer]);
      message = {};
    }
  }

  function heardReport(report) {
    if (report.clears !== clears) return; // its frames are the dropped ones
    heard = report;
    if (report.firstSound && firstSoundMs === null) {
      // When the output presents that frame, on the page's clock: later than the
      // report's arrival says if the page was busy, and including the output's latency.
      const stamp = context.getOutputTimestamp();
      firstSoundMs = stamp.performanceTime + (report.firstSoundTime - stamp.contextTime) * 1000 - fileReadAt;
    }
    supply();
  }

  async function playFrom(order) {
    await audio();
    stop();
    song.restart();
    startPlaying(order);
  }

  // Plays the song, which is at play start, from an order position: reached by
  // rendering from the start, as the game gets there.
  function startPlaying(order) {
    applyListeningAid();
    let skipped = 0;
    const skippedBlock = new Int16Array(2 * 884);
    while (order > 0 && skipped < passLimitFrames) {
      song.render(884, skippedBlock);
      skipped += 884;
      if (song.position.order === order) break;
    }
    startFrame = skipped;
    sentFrames = 0;
    positions = [];
    heard = { ...heard, played: 0, queued: 0 };
    playing = true;
    worklet.port.postMessage({ clear: ++clears });
    supply({ playing: true }); // with the first frames, so that the worklet never waits for them
    ui.play.textContent = "Pause";
  }

  function pause() {
    if (!playing) return;
    playing = false;
    worklet.port.postMessage({ playing: false });
    ui.play.textContent = "Play";
  }

  function resume() {
    if (sentFrames === 0) return playFrom(0);
    playing = true;
    worklet.port.postMessage({ playing: true });
    supply();
    ui.play.textContent = "Pause";
  }

  // Stop is silence at once: the queue is dropped and the next play starts the song again.
  function stop() {
    playing = false;
    sentFrames = 0;
    positions = [];
    worklet?.port.postMessage({ clear: ++clears, playing: false });
    heard = { ...heard, played: 0, queued: 0 };
    ui.play.textContent = "Play";
    highlightRow(-1);
  }

  // Command 6's mapping: linear in hundredths of a decibel, 1 is 0 dB and 0 is -100 dB.
  function setVolume() {
    const value = Number(ui.volume.value);
    const decibels = Math.trunc(value * 10000 - 10000) / 100;
    ui.volumeDb.textContent = `${decibels.toFixed(1)} dB`;
    worklet?.port.postMessage({ gain: 10 ** (decibels / 20) });
  }

  // ---- Save ----

  // One pass as vantor render writes it without --seconds: whole blocks covering the
  // pass, rendered apart from what plays.
  async function saveWav() {
    await song.examine();
    const blocks = Math.ceil(song.info.onePassFrames / 884);
    const copy = await loadSong(songBytes, songName, { apart: true });
    const pcm = copy.render(blocks * 884);
    copy.free();
    const link = document.createElement("a");
    link.href = URL.createObjectURL(new Blob([wavHeader(pcm.byteLength), pcm], { type: "audio/wav" }));
    link.download = songName.replace(/\.xm$/i, "") + ".wav";
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 10000);
  }

  function wavHeader(dataBytes) {
    const header = new DataView(new ArrayBuffer(44));
    const tag = (at, text) => [...text].forEach((c, i) => header.setUint8(at + i, c.charCodeAt(0)));
    tag(0, "RIFF");
    header.setUint32(4, 36 + dataBytes, true);
    tag(8, "WAVE");
    tag(12, "fmt ");
    header.setUint32(16, 16, true);
    header.setUint16(20, 1, true); // PCM
    header.setUint16(22, 2, true);
    header.setUint32(24, 44100, true);
    header.setUint32(28, 44100 * 4, true);
    header.setUint16(32, 4, true);
    header.setUint16(34, 16, true);
    tag(36, "data");
    header.setUint32(40, dataBytes, true);
    return header.buffer;
  }

  // For comparing what the page plays with the tool's output: the page's own graph,
  // its worklet included, rendered offline at volume 1 from play start. Returns the
  // left and right channels.
  async function renderOffline(seconds) {
    const frames = Math.round(seconds * 44100);
    const offline = new OfflineAudioContext(2, frames, 44100);
    const node = await buildGraph(offline);
    const copy = await loadSong(songBytes, songName, { apart: true });
    const pcm = copy.render(Math.ceil(frames / chunkFrames) * chunkFrames);
    copy.free();
    node.port.postMessage({ frames: pcm, playing: true, gain: 1 }, [pcm.buffer]);
    // The message must arrive before the first render quantum: wait for the worklet's answer.
    await new Promise((resolve) => setTimeout(resolve, 50));
    const rendered = await offline.startRendering();
    return [rendered.getChannelData(0), rendered.getChannelData(1)];
  }
  window.vantorPreview = { renderOffline };

  // ---- Controls ----

  async function openFile(file) {
    ui.error.textContent = "";
    await open(new Uint8Array(await file.arrayBuffer()), file.name);
  }

  ui.file.addEventListener("change", () => {
    if (ui.file.files.length > 0) openFile(ui.file.files[0]);
    ui.file.value = "";
  });
  ui.drop.addEventListener("dragover", (event) => {
    event.preventDefault();
    ui.drop.classList.add("over");
  });
  ui.drop.addEventListener("dragleave", () => ui.drop.classList.remove("over"));
  ui.drop.addEventListener("drop", (event) => {
    event.preventDefault();
    ui.drop.classList.remove("over");
    if (event.dataTransfer.files.length > 0) openFile(event.dataTransfer.files[0]);
  });
  ui.demo.addEventListener("click", async () => open(await demoSongBytes(), "demo.xm"));
  ui.play.addEventListener("click", () => (playing ? pause() : resume()));
  ui.stop.addEventListener("click", () => stop());
  ui.playFrom.addEventListener("click", () => playFrom(Number(ui.fromOrder.value) || 0));
  ui.volume.addEventListener("input", setVolume);
  ui.save.addEventListener("click", () => saveWav());
  document.addEventListener("keydown", (event) => {
    const typing = event.target instanceof HTMLInputElement && event.target.type !== "range";
    if (event.code !== "Space" || typing || event.target instanceof HTMLButtonElement || song === null) return;
    event.preventDefault();
    if (playing) pause();
    else resume();
  });

  setInterval(() => supply(), 50); // besides the worklet's reports, for when none come
  requestAnimationFrame(showPlaying);
  for (const gesture of ["pointerdown", "keydown"]) {
    document.addEventListener(gesture, () => audio(), { capture: true, once: true });
  }
  await Promise.all([ready(), startAudio()]);
  // Browsers compile WebAssembly a function at a time as it is first called: a second
  // of the demo song, rendered now, compiles the replay before a song is opened, so
  // that its first blocks do not wait for the compiler.
  const warmUp = await loadSong(await demoSongBytes());
  warmUp.render(44100);
  warmUp.free();
  audio(); // where the browser needs no gesture
  document.body.dataset.ready = "true";
}
