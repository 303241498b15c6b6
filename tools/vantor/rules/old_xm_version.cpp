// Every file is read in the layout of XM version 1.04, whatever version it states.
#include <cstdio>

#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class OldXmVersion : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {
        "XM version older than 1.04", "vantor reads every file in the layout of 1.04",
        "trackers also read the older layouts", "save the song again in a current tracker"};
    return words;
  }

  bool wholeFile() const override { return true; }

  void examineFile(const FileView& file, std::vector<std::string>& where) override {
    if (file.version >= firstReadXmVersion) return;
    char text[16];
    std::snprintf(text, sizeof text, "%d.%02x", file.version >> 8, file.version & 0xFF);
    where.push_back(text);
  }
};

const RuleRegistration registered(make<OldXmVersion>);

}  // namespace

}  // namespace vantor::tool::rules
