// The volume column's slides (6x, 7x, Dx, Ex) take their step on the row's first tick
// too in vantor, one step more per row than trackers, which slide on the effect ticks
// only. Trackers' volume and panning are followed beside the replay; heard where the
// volume moves the mix by 2.5 dB or more, or the panning lies a quarter of its range
// away from theirs.
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

  void afterTick(const TickView& view, std::vector<CellPosition>& heard) override {
    for (int c = 0; c < view.channelCount(); ++c) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      Trackers& trackers = trackers_[c];
      int32_t panning = std::clamp<int32_t>(channel.panning, 0, 255);
      bool volumeSlide = slides(cell, slideDown) || slides(cell, slideUp);
      bool panningSlide = slides(cell, panLeft) || slides(cell, panRight);
      int step = cell.volume & 0x0F;
      if (view.rowTick()) {
        if (volumeSlide && cell.instrument == 0 && !setsVolume(cell)) {
          trackers.cell = view.here(c);
        } else {
          trackers.volume = channel.volume;
        }
        if (panningSlide && cell.instrument == 0 && !setsPanning(cell)) {
          trackers.cell = view.here(c);
        } else {
          trackers.panning = panning;
        }
      } else {
        if (slides(cell, slideDown)) trackers.volume = std::max(trackers.volume - step, 0);
        if (slides(cell, slideUp)) trackers.volume = std::min(trackers.volume + step, 64);
        if (slides(cell, panLeft)) trackers.panning = std::max(trackers.panning - step, 0);
        if (slides(cell, panRight)) trackers.panning = std::min(trackers.panning + step, 255);
        if (volumeSlide && isVolumeSlideEffect(cell))
          trackers.volume = slideByMemory(trackers.volume, channel);
        if (!volumeSlide && channel.volume != view.before(c).volume) trackers.volume = channel.volume;
        if (!panningSlide && panning != std::clamp<int32_t>(view.before(c).panning, 0, 255))
          trackers.panning = panning;
      }
      if (!samplePlays(channel)) continue;
      const Song& song = view.song();
      int32_t envelope = channel.volumeEnvelopeState.value;
      double vantor = channelLevel(channel.volume, envelope, channel.fadeoutVolume, song.globalVolume);
      double theirs = channelLevel(trackers.volume, envelope, channel.fadeoutVolume, song.globalVolume);
      bool volumeHeard = trackers.volume != channel.volume && heardInMix(view, c, vantor, theirs);
      bool panningHeard = std::abs(trackers.panning - panning) >= audiblePanning &&
                          channelLevel(channel, song) >= silentLevel;
      if (volumeHeard || panningHeard) heard.push_back(trackers.cell);
    }
  }

 private:
  struct Trackers {
    int32_t volume;
    int32_t panning;
    CellPosition cell;
  };

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
