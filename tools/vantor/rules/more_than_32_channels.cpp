// vantor's channel table holds 32 channels; a file with more loads with its first 32.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class MoreThan32Channels : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"more than 32 channels", "vantor plays the first 32",
                                   "trackers that write more play them all", "keep to 32 channels"};
    return words;
  }

  bool wholeFile() const override { return true; }

  void examineFile(const FileView& file, std::vector<std::string>& where) override {
    if (file.notes.channelsLimited)
      where.push_back(std::to_string(file.notes.channelCountFromFile) + " in the file");
  }
};

const RuleRegistration registered(make<MoreThan32Channels>);

}  // namespace

}  // namespace vantor::tool::rules
