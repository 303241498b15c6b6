// E3x is read and ignored: vantor's tone portamento slides smoothly where trackers
// slide in semitone steps. Heard where a tone portamento then slides; named at the E3x
// and at the tone portamento.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

constexpr uint8_t glissandoControl = 0x3;

class GlissandoBeforePortamento : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"E3x (glissando) before a tone portamento", "vantor slides smoothly",
                                   "trackers slide in semitone steps", "write the steps as notes"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      Glissando& glissando = glissando_[c];
      if (view.rowTick()) {
        if (isExtended(cell, glissandoControl)) glissando = {extendedValue(cell) != 0, view.here(c)};
        continue;
      }
      const Channel& channel = view.channel(c);
      if (glissando.on && (isTonePortamentoRow(cell) || volumeColumnPortamento(cell)) &&
          sounding(channel.voice) && view.before(c).period != channel.portaTarget)
        heard.at(glissando.cell, view.here(c));
    }
  }

 private:
  struct Glissando {
    bool on;
    CellPosition cell;
  };
  std::array<Glissando, channelTableSize> glissando_{};
};

const RuleRegistration registered(make<GlissandoBeforePortamento>);

}  // namespace

}  // namespace vantor::tool::rules
