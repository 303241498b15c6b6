// The dynamic symbols libvantor.so defines: the command entry under its plain and its
// C++ name, and the framework's two error classes, with the exception's type
// information; nothing else.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>

namespace {

std::set<std::string> definedDynamicSymbols() {
  std::set<std::string> names;
  std::string listing = std::string(VANTOR_NM) + " -D --defined-only " + VANTOR_LIBRARY_PATH;
  FILE* output = popen(listing.c_str(), "r");
  if (output == nullptr) return names;
  char line[4096];
  while (std::fgets(line, sizeof line, output) != nullptr) {
    std::istringstream fields(line);
    std::string address, type, name;
    if (fields >> address >> type >> name) names.insert(name);
  }
  pclose(output);
  return names;
}

bool exportedOnPurpose(const std::string& name) {
  const std::string prefixes[] = {"_ZN11pellgameapi8pellerrs", "_ZN11pellgameapi17pellerrsexception",
                                  "_ZTIN11pellgameapi17pellerrsexception",
                                  "_ZTSN11pellgameapi17pellerrsexception"};
  if (name == "modproc" || name == "_Z7modprociPvj") return true;
  for (const std::string& prefix : prefixes) {
    if (name.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

TEST(LibraryExports, OnlyModprocAndTheErrorClasses) {
  std::set<std::string> names = definedDynamicSymbols();
  for (const std::string& name : names) EXPECT_TRUE(exportedOnPurpose(name)) << name << " should stay inside";
  const char* required[] = {
      "modproc",
      "_Z7modprociPvj",                               // modproc, as C++ hosts call it
      "_ZN11pellgameapi8pellerrs11reporterrorEPKcz",  // pellerrs::reporterror
      "_ZN11pellgameapi8pellerrsaSERKS0_",            // pellerrs assignment
      "_ZN11pellgameapi17pellerrsexceptionC1ERS0_",   // copy from a non-constant reference
      "_ZN11pellgameapi17pellerrsexceptionaSERKS0_",  // assignment
      "_ZN11pellgameapi17pellerrsexceptionD1Ev",      // destructor
      "_ZTIN11pellgameapi17pellerrsexceptionE",       // typeinfo, to catch it by type
  };
  for (const char* name : required) EXPECT_EQ(names.count(name), 1u) << name << " is missing";
}

}  // namespace
