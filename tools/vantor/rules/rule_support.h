// What the rules of tools/vantor/rules/ share: reading a cell as the sequencer reads it,
// and telling whether a voice is heard.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

#include "loading/song.h"
#include "output/mixer.h"
#include "output/renderer.h"
#include "sequencer/channel.h"
#include "sequencer/effect_numbers.h"
#include "sequencer/effects.h"
#include "sequencer/pitch.h"
#include "tracker_differences.h"

namespace vantor::tool::rules {

constexpr uint8_t keyOffNote = 255;
constexpr int32_t fullFadeout = 65536;

// Notes 1..96; the loader stores key-off as 255, and 97..254 count as no note.
inline bool givesNote(const NoteCell& cell) { return cell.note >= 1 && cell.note <= keymapSize; }

// 3xx and 5xy keep the channel's note and instrument; the volume column's Fx does not.
inline bool isTonePortamentoRow(const NoteCell& cell) {
  return cell.effect == effect::TonePortamento || cell.effect == effect::TonePortamentoVolumeSlide;
}

inline bool isExtended(const NoteCell& cell, uint8_t subEffect) {
  return cell.effect == effect::Extended && cell.effectParam >> 4 == subEffect;
}

inline uint8_t extendedValue(const NoteCell& cell) { return cell.effectParam & 0x0F; }

inline bool volumeColumnPortamento(const NoteCell& cell) { return cell.volume >= 0xF0; }
inline bool volumeColumnSetsVolume(const NoteCell& cell) {
  return cell.volume >= 0x10 && cell.volume <= 0x50;
}
inline bool volumeColumnSetsPanning(const NoteCell& cell) { return cell.volume >> 4 == 0xC; }

// Heard now: a sample with data, at a level above silence.
inline bool sounding(const Voice* voice) {
  return voice != nullptr && voice->sample != nullptr && voice->sample->length > 0 && voice->volume > 0;
}

// An envelope that is on and whose points do not all lie at one value.
inline bool envelopeMoves(const Envelope& envelope) {
  if ((envelope.type & EnvelopeOn) == 0) return false;
  for (int i = 1; i < envelope.pointCount; ++i) {
    if (envelope.points[i].y != envelope.points[0].y) return true;
  }
  return false;
}

// How a rule knows that a difference is heard: two levels of a channel differ by more
// than 2.5 dB (a step a listener notices in a mix), counting a level 40 dB below full
// scale as silence.
constexpr double audibleStep = 1.3335;  // 2.5 dB
constexpr double silentLevel = 0.01;    // -40 dB

inline bool levelsDiffer(double a, double b) {
  if (std::max(a, b) < silentLevel) return false;
  if (std::min(a, b) < silentLevel / audibleStep) return true;
  return std::max(a, b) / std::min(a, b) > audibleStep;
}

// A channel's level as the voice update computes it, 1.0 at full scale.
inline double channelLevel(int32_t volume, int32_t envelope, int32_t fadeout, int32_t globalVolume) {
  return std::max(0.0, volume / 64.0) * std::max(0.0, envelope / 64.0) * std::max(0.0, fadeout / 65536.0) *
         std::max(0.0, globalVolume / 64.0);
}

inline double channelLevel(const Channel& channel, const Song& song) {
  return channelLevel(channel.volume, channel.volumeEnvelopeState.value, channel.fadeoutVolume,
                      song.globalVolume);
}

// The channel's voice has a sample with data that has not run out.
inline bool samplePlays(const Channel& channel) {
  return channel.voice != nullptr && channel.voice->sample != nullptr && channel.voice->sample->length > 0;
}

// The channel's sample plays on, and not in a stretch of near silence.
inline bool soundsOn(const TickView& view, int c) {
  return samplePlays(view.channel(c)) && !view.silentAhead(c);
}

// The song's global volume is 0: every channel is silent, in vantor and in trackers alike,
// whatever either does with a note.
inline bool songSilent(const TickView& view) { return view.song().globalVolume <= 0; }

// The row's EDx starts its note (or key-off) on this very tick.
inline bool delayedNoteStartsNow(const TickView& view, int c) {
  const NoteCell& cell = view.cell(c);
  return isExtended(cell, effect::NoteDelay) && extendedValue(cell) == view.tickInRow() &&
         (view.channel(c).updateFlags & Trigger);
}

// Whether a channel's own change of level stands out against the others (others: their
// power sum): by 6 dB or more while it is no more than 12 dB below the rest (a quieter
// channel's change is lost among the louder ones), or where its share of the mix's power
// moves by a fifth or more, a voice that steps forward or back against the others (as
// much as a pitch apart moves in the comparison with the players).
inline bool ownChangeHeard(double vantor, double trackers, double others) {
  double louder = std::max(vantor, trackers);
  double quieter = std::min(vantor, trackers);
  if (louder < silentLevel) return false;
  if (louder >= 2 * quieter && 16 * louder * louder >= others) return true;
  double vantorShare = vantor * vantor / (others + vantor * vantor);
  double trackersShare = trackers * trackers / (others + trackers * trackers);
  return std::abs(vantorShare - trackersShare) >= 0.2;
}

// Whether a channel heard at one level or another is heard in the mix: the whole mix
// moves by 2.5 dB or more, or the channel's own change stands out (ownChangeHeard). The
// mix is taken as the power sum of the levels of the channels that sound.
inline bool heardInMix(const TickView& view, int channel, double vantor, double trackers) {
  double others = 0;
  for (int c : view.channelIndices()) {
    if (c == channel || !soundsOn(view, c)) continue;
    double level = channelLevel(view.channel(c), view.song());
    others += level * level;
  }
  if (levelsDiffer(std::sqrt(others + vantor * vantor), std::sqrt(others + trackers * trackers))) return true;
  return ownChangeHeard(vantor, trackers, others);
}

// Whether a channel at this level stands out enough for its pitch to be heard: above
// silence and no more than 20 dB below the rest of the mix.
inline bool pitchHeardInMix(const TickView& view, int channel, double level) {
  double others = 0;
  for (int c : view.channelIndices()) {
    if (c == channel || !soundsOn(view, c)) continue;
    double other = channelLevel(view.channel(c), view.song());
    others += other * other;
  }
  return level >= silentLevel && 100 * level * level >= others;
}

// Whether a sample started at another frame than trackers start it sounds otherwise.
// Not where it loops from its first frame: started anywhere in it, it only plays at
// another phase. Nor where what plays before its loop (all of it, where it does not
// loop) is over within 10 ms at the channel's pitch: a start of a cycle or two is not
// told from the loop after it, while one of 15 ms is heard, also in a mix. Nor where the
// note starts too quiet to stand out (an envelope that rises from near silence). Where
// the two starts lie `skipped` frames apart within what plays before the loop, only those
// frames differ: 10 ms of them or more are heard.
constexpr int32_t startHeardFrames = 441;  // 10 ms

inline bool startHeard(const TickView& view, int c, const Sample& sample, uint32_t skipped = UINT32_MAX) {
  if (sample.loopMode != LoopNone && sample.loopStart == 0) return false;
  const Channel& channel = view.channel(c);
  uint32_t beforeLoop = std::min(skipped, sample.loopMode == LoopNone ? sample.length : sample.loopStart);
  double frequency = playbackFrequency(view.song(), channel.period, channel.periodOffset);
  return static_cast<double>(beforeLoop) * mixRate >= static_cast<double>(startHeardFrames) * frequency &&
         pitchHeardInMix(view, c, channelLevel(channel, view.song()));
}

// The levels of every channel in vantor and in trackers, for a rule that follows the
// trackers' levels of several channels at once: where several channels change together
// their changes add up in the mix. Both start at vantor's levels of the channels that sound.
struct MixLevels {
  std::array<double, channelTableSize> vantor{};
  std::array<double, channelTableSize> trackers{};
};

inline MixLevels mixLevels(const TickView& view) {
  MixLevels levels;
  for (int c : view.channelIndices()) {
    if (soundsOn(view, c)) levels.vantor[c] = levels.trackers[c] = channelLevel(view.channel(c), view.song());
  }
  return levels;
}

// As above, with the other channels at their own levels in each: the mix is heard to
// move when all of them take trackers' levels together.
inline bool heardInMix(const TickView& view, int channel, const MixLevels& levels) {
  double vantorMix = 0, trackersMix = 0, others = 0;
  for (int c : view.channelIndices()) {
    vantorMix += levels.vantor[c] * levels.vantor[c];
    trackersMix += levels.trackers[c] * levels.trackers[c];
    if (c != channel) others += levels.vantor[c] * levels.vantor[c];
  }
  double vantor = levels.vantor[channel], trackers = levels.trackers[channel];
  if (vantor == trackers) return false;
  if (levelsDiffer(std::sqrt(vantorMix), std::sqrt(trackersMix))) return true;
  return ownChangeHeard(vantor, trackers, others);
}

// The tail of a fade, below -20 dB in both: a fade that reaches silence a few ticks later
// in one than in the other is not told from the fade itself.
constexpr double fadeTailLevel = 0.1;

inline bool inFadeTail(double vantor, double trackers) { return std::max(vantor, trackers) < fadeTailLevel; }

// Where a rule has found a level heard in the mix: at once where one of the two is
// silent (a sound against none), else once the difference has lasted. At a cell or a
// Passage.
template <typename Where>
void recordLevel(Heard& heard, const Where& where, double vantor, double trackers) {
  if (std::min(vantor, trackers) < silentLevel / audibleStep) {
    heard.at(where);
  } else {
    heard.levelAt(where);
  }
}

// Two pitches 15 cents apart or more are heard as out of tune with each other (the
// comparison with the players hears such a step too).
constexpr double audibleCents = 15.0;

// How far apart two periods of the song's frequency table lie, in cents.
inline double centsApart(const Song& song, int32_t a, int32_t b) {
  if (song.flags & LinearFrequencyTable) return std::abs(a - b) * 100.0 / 64.0;
  if (a <= 0 || b <= 0) return a == b ? 0.0 : 1200.0;
  return std::abs(1200.0 * std::log2(static_cast<double>(a) / b));
}

// Whether a sample has a pitch to hear out of tune. One that loops repeats its loop; one
// played once must repeat within its first frames: past the lag where their
// autocorrelation first falls below zero it rises again to half or more at some lag up to
// 512 frames (a tone, a falling tone of a drum: 0.7 to 1.0). Noise stays near 0.1: played
// a quarter tone higher it is the same hiss, a few milliseconds shorter. A sample too short
// or too smooth to tell counts as one with a pitch.
constexpr uint32_t pitchFrames = 1024;
constexpr uint32_t pitchLags = 512;

inline bool pitched(const Sample& sample) {
  if (sample.loopMode != LoopNone || sample.data == nullptr) return true;
  uint32_t frames = std::min(sample.length, pitchFrames);
  double mean = 0;
  for (uint32_t i = 0; i < frames; ++i) mean += sample.data[i];
  mean /= std::max(frames, 1u);
  bool fell = false;
  for (uint32_t lag = 1; lag < std::min(pitchLags, frames / 2); ++lag) {
    double product = 0, early = 0, late = 0;
    for (uint32_t i = 0; i + lag < frames; ++i) {
      double a = sample.data[i] - mean, b = sample.data[i + lag] - mean;
      product += a * b;
      early += a * a;
      late += b * b;
    }
    if (early == 0 || late == 0) continue;
    double correlation = product / std::sqrt(early * late);
    if (correlation < 0) fell = true;
    if (fell && correlation >= 0.5) return true;
  }
  return !fell;
}

// The instrument the channel plays has no volume envelope switched on.
inline bool withoutVolumeEnvelope(const TickView& view, const Channel& channel) {
  return (selectSource(view.song(), channel).instrument->volumeEnvelopeType & EnvelopeOn) == 0;
}

// Registers a rule's factory; one at namespace scope in each rule's unit.
template <typename RuleType>
std::unique_ptr<Rule> make() {
  return std::make_unique<RuleType>();
}

}  // namespace vantor::tool::rules
