// The volume column's slides (6x, 7x, Dx, Ex) take their step on the row's first tick
// too in vantor, one step more per row than trackers, which slide on the effect ticks
// only. Trackers' volume and panning are followed beside the replay until a volume or
// panning is set again; heard where the volume moves the mix by 2.5 dB or more, or the
// panning lies a quarter of its range away from theirs.
#include <cstdlib>

#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

constexpr uint8_t slideDown = 0x6, slideUp = 0x7, panLeft = 0xD, panRight = 0xE;
constexpr int audiblePanning = 64;

bool slides(const NoteCell& cell, uint8_t kind) {
  return cell.volume >> 4 == kind && (cell.volume & 0x0F) != 0;
}

// Effects that set the volume or panning on the row's first tick, in both.
bool setsVolume(const NoteCell& cell) {
  return cell.effect == effect::SetVolume || isExtended(cell, effect::FineVolumeSlideUp) ||
         isExtended(cell, effect::FineVolumeSlideDown) || isExtended(cell, effect::NoteDelay) ||
         cell.effect == effect::Tremor;
}

bool setsPanning(const NoteCell& cell) {
  return cell.effect == effect::SetPanning || isExtended(cell, effect::SetCoarsePanning) ||
         isExtended(cell, effect::NoteDelay);
}

class VolumeColumnSlideOnRowTick : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"volume-column slide (6x, 7x, Dx, Ex)",
                                   "vantor slides on the row's first tick too, one step more per row",
                                   "trackers slide on the effect ticks only",
                                   "use Axy or Pxy, or give the slide's end volume in the next row"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    for (int c : view.channelIndices()) follow(view, c);
    // Channels that slide together move the mix together.
    const Song& song = view.song();
    MixLevels levels = mixLevels(view);
    for (int c : view.channelIndices()) {
      const Channel& channel = view.channel(c);
      // Also where vantor's slide has reached 0 and trackers' note still sounds.
      if (soundsOn(view, c)) {
        levels.trackers[c] = channelLevel(trackers_[c].volume, channel.volumeEnvelopeState.value,
                                          channel.fadeoutVolume, song.globalVolume);
      }
    }
    for (int c : view.channelIndices()) {
      const Channel& channel = view.channel(c);
      const Trackers& trackers = trackers_[c];
      if (!soundsOn(view, c)) continue;
      bool volumeHeard = trackers.volume != channel.volume && heardInMix(view, c, levels);
      bool panningHeard =
          std::abs(trackers.panning - std::clamp<int32_t>(channel.panning, 0, 255)) >= audiblePanning &&
          channelLevel(channel, song) >= silentLevel;
      if (volumeHeard) recordLevel(heard, trackers.passage, levels.vantor[c], levels.trackers[c]);
      if (panningHeard) heard.levelAt(trackers.passage);
    }
  }

 private:
  // The slides that part the two, from the first slide after they last agreed: each
  // slide row adds its cell.
  struct Trackers {
    int32_t volume;
    int32_t panning;
    Passage passage;
  };

  void follow(const TickView& view, int c) {
    const NoteCell& cell = view.cell(c);
    const Channel& channel = view.channel(c);
    Trackers& trackers = trackers_[c];
    int32_t panning = std::clamp<int32_t>(channel.panning, 0, 255);
    bool volumeSlide = slides(cell, slideDown) || slides(cell, slideUp);
    bool panningSlide = slides(cell, panLeft) || slides(cell, panRight);
    int step = cell.volume & 0x0F;
    int32_t volumeMoved = channel.volume - view.before(c).volume;
    int32_t panningMoved = panning - std::clamp<int32_t>(view.before(c).panning, 0, 255);
    if (view.rowTick()) {
      // An instrument number gives both the sample's volume and panning first; a set
      // volume or panning brings them together again; other changes move both alike,
      // so trackers keep their distance after the slide.
      const Sample& sample = *selectSource(view.song(), channel).sample;
      bool volumeStep = volumeSlide && !setsVolume(cell);
      bool panningStep = panningSlide && !setsPanning(cell);
      if (volumeStep) {
        if (cell.instrument != 0) trackers.volume = sample.volume;
      } else if (cell.instrument != 0 || setsVolume(cell) || volumeColumnSetsVolume(cell)) {
        trackers.volume = channel.volume;
      } else {
        trackers.volume = std::clamp(trackers.volume + volumeMoved, 0, 64);
      }
      if (panningStep) {
        if (cell.instrument != 0)
          trackers.panning = static_cast<int32_t>(std::min<uint32_t>(sample.panning, 255));
      } else if (cell.instrument != 0 || setsPanning(cell) || volumeColumnSetsPanning(cell)) {
        trackers.panning = panning;
      } else {
        trackers.panning = std::clamp(trackers.panning + panningMoved, 0, 255);
      }
      if (volumeStep || panningStep) trackers.passage.add(view.here(c));
    } else {
      if (slides(cell, slideDown)) trackers.volume = std::max(trackers.volume - step, 0);
      if (slides(cell, slideUp)) trackers.volume = std::min(trackers.volume + step, 64);
      if (slides(cell, panLeft)) trackers.panning = std::max(trackers.panning - step, 0);
      if (slides(cell, panRight)) trackers.panning = std::min(trackers.panning + step, 255);
      if (volumeSlide && isVolumeSlideEffect(cell)) trackers.volume = slideByMemory(trackers.volume, channel);
      if (!volumeSlide) trackers.volume = std::clamp(trackers.volume + volumeMoved, 0, 64);
      if (!panningSlide) trackers.panning = std::clamp(trackers.panning + panningMoved, 0, 255);
    }
    // Where the two agree, the passage has ended, and until a slide parts them again
    // trackers play what vantor plays (also a volume above 64, which is not this rule's).
    if (trackers.volume == channel.volume && trackers.panning == panning) trackers.passage.clear();
    if (trackers.passage.empty()) {
      trackers.volume = channel.volume;
      trackers.panning = panning;
    }
  }

  static bool isVolumeSlideEffect(const NoteCell& cell) {
    return cell.effect == effect::VolumeSlide || cell.effect == effect::TonePortamentoVolumeSlide ||
           cell.effect == effect::VibratoVolumeSlide;
  }

  static int32_t slideByMemory(int32_t volume, const Channel& channel) {
    uint8_t up = channel.volumeSlideMemory >> 4;
    if (up != 0) return std::min(volume + up, 64);
    return std::max(volume - (channel.volumeSlideMemory & 0x0F), 0);
  }

  std::array<Trackers, channelTableSize> trackers_{};
};

const RuleRegistration registered(make<VolumeColumnSlideOnRowTick>);

}  // namespace

}  // namespace vantor::tool::rules
