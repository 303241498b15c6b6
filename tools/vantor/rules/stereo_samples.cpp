// The stereo flag of a sample is ignored: its data plays as one mono sample, the two
// channels one after the other.
#include <iterator>

#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class StereoSamples : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"stereo samples",
                                   "vantor plays both channels one after the other as one mono sample",
                                   "trackers play them in stereo", "make stereo samples mono"};
    return words;
  }

  bool wholeFile() const override { return true; }

  void examineFile(const FileView& file, std::vector<std::string>& where) override {
    const LoadNotes& notes = file.notes;
    if (notes.stereoSamples == 0) return;
    std::string list;
    int kept = static_cast<int>(std::size(notes.firstStereoSamples));
    for (int i = 0; i < notes.stereoSamples && i < kept; ++i) {
      if (i > 0) list += ", ";
      // Instruments as the pattern numbers them, samples as their slot.
      list += "instrument " + std::to_string(notes.firstStereoSamples[i].instrument + 1) + " sample " +
              std::to_string(notes.firstStereoSamples[i].slot);
    }
    if (notes.stereoSamples > kept) list += ", ...";
    where.push_back(std::to_string(notes.stereoSamples) +
                    (notes.stereoSamples == 1 ? " sample" : " samples") + " (" + list + ")");
  }
};

const RuleRegistration registered(make<StereoSamples>);

}  // namespace

}  // namespace vantor::tool::rules
