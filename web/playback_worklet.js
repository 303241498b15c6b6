// The page's audio worklet: plays the 16-bit stereo frames that vantor rendered, in
// the order they come, at the game's volume. It renders nothing itself; the page
// keeps it supplied well ahead, so that a stall of the page is not heard. Running dry
// while playing is an underrun, counted and reported with the frames played.
//
// Messages in: {clear: n} empties the queue and counts the frames played from 0
// again, for the page's n-th clear (reports say after which clear they count),
// {frames: Int16Array} appends, {playing: boolean}, {gain: number}; a message may hold
// several, which take effect in that order.
// Messages out: {clears, played, queued, underruns, silentFrames, firstSound,
// firstSoundTime}, every few calls.

const reportEvery = 4;

class BlockPlayer extends AudioWorkletProcessor {
  constructor() {
    super();
    this.clears = 0;
    this.queue = [];
    this.offset = 0; // frames of queue[0] already played
    this.queued = 0;
    this.played = 0;
    this.underruns = 0;
    this.silentFrames = 0; // missing from the output through the underruns
    this.playing = false;
    this.gain = 1;
    this.calls = 0;
    this.port.onmessage = ({ data }) => this.receive(data);
  }

  receive(message) {
    if (message.clear !== undefined) {
      this.clears = message.clear;
      this.queue = [];
      this.offset = 0;
      this.queued = 0;
      this.played = 0;
      this.report();
    }
    if (message.frames) {
      this.queue.push(message.frames);
      this.queued += message.frames.length / 2;
    }
    if (message.playing !== undefined) this.playing = message.playing;
    if (message.gain !== undefined) this.gain = message.gain;
  }

  // With the first sound, the context time at which its first frame is due out.
  report(firstSound = false) {
    const { clears, played, queued, underruns, silentFrames } = this;
    const report = { clears, played, queued, underruns, silentFrames, firstSound };
    if (firstSound) report.firstSoundTime = currentTime;
    this.port.postMessage(report);
  }

  process(_inputs, outputs) {
    const [left, right] = outputs[0];
    if (!this.playing) return true;
    const firstSound = this.played === 0 && this.queued > 0;
    let done = 0;
    while (done < left.length && this.queue.length > 0) {
      const frames = this.queue[0];
      const count = Math.min(left.length - done, frames.length / 2 - this.offset);
      for (let i = 0; i < count; i++) {
        left[done + i] = (frames[2 * (this.offset + i)] / 32768) * this.gain;
        right[done + i] = (frames[2 * (this.offset + i) + 1] / 32768) * this.gain;
      }
      done += count;
      this.offset += count;
      if (this.offset === frames.length / 2) {
        this.queue.shift();
        this.offset = 0;
      }
    }
    // Before the first frame nothing is missing yet: the sound has not begun.
    if (done < left.length && this.played + done > 0) {
      this.underruns += 1;
      this.silentFrames += left.length - done;
    }
    this.played += done;
    this.queued -= done;
    this.calls += 1;
    if (firstSound || this.calls % reportEvery === 0) this.report(firstSound);
    return true;
  }
}

registerProcessor("vantor-blocks", BlockPlayer);
