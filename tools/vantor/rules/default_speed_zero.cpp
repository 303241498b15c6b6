// A default speed of 0 in the header: vantor keeps it, so every tick is a row tick and
// the song runs six times as fast as at speed 6. Trackers read a speed of 0 as 6.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class DefaultSpeedZero : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"a default speed of 0", "vantor plays a row on every tick",
                                   "trackers play the song at speed 6",
                                   "set the default speed to the speed the song is written for"};
    return words;
  }

  bool wholeFile() const override { return true; }

  void examineFile(const FileView& file, std::vector<std::string>& where) override {
    if (file.song.defaultSpeed == 0) where.push_back("in the header");
  }
};

const RuleRegistration registered(make<DefaultSpeedZero>);

}  // namespace

}  // namespace vantor::tool::rules
