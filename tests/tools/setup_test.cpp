// The set-up scripts, run against stand-ins for dpkg-query and id so that they see a
// machine with nothing installed, and in dry-run mode so that they change nothing:
// the main job asks only for what building needs, and a package source is derived
// from the machine's own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tool_process.h"

namespace vantor::test {
namespace {

const std::string sourceDirectory = VANTOR_SOURCE_DIR;

struct ScriptRun {
  int exitCode;
  std::string errors;
};

void writeText(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

class SetupTest : public ::testing::Test {
 protected:
  SetupTest() {
    // No package and no foreign architecture is installed, sudo is refused, and id -u
    // answers $STUB_UID.
    writeText(directory_ / "bin/dpkg-query", "#!/bin/sh\nexit 1\n");
    writeText(directory_ / "bin/dpkg",
              "#!/bin/sh\n[ \"$1\" = --print-foreign-architectures ] || exec /usr/bin/dpkg \"$@\"\n");
    writeText(directory_ / "bin/id",
              "#!/bin/sh\n[ \"$1\" = -u ] && { echo \"$STUB_UID\"; exit 0; }\nexec /usr/bin/id \"$@\"\n");
    writeText(directory_ / "bin/sudo", "#!/bin/sh\nexit 1\n");
    for (const char* name : {"dpkg-query", "dpkg", "sudo", "id"})
      std::filesystem::permissions(directory_ / "bin" / name, std::filesystem::perms::owner_all);
  }

  ScriptRun run(const std::vector<std::string>& arguments, const std::string& uid) {
    const char* path = std::getenv("PATH");
    Environment environment = {{"PATH", (directory_ / "bin").string() + ":" + (path != nullptr ? path : "")},
                               {"STUB_UID", uid}};
    Process script(arguments, environment, directory_ / "out", directory_ / "err");
    int exitCode = script.wait();
    return {exitCode, readText(directory_ / "err")};
  }

  TemporaryDirectory directory_;
};

// The packages of the one apt-get install the dry run would make.
// The packages of the apt-get install line, whatever options come before install.
std::set<std::string> wouldInstall(const std::string& errors) {
  const std::string marker = " install -y -qq --no-install-recommends ";
  std::size_t line = errors.find("would run: apt-get ");
  std::size_t at = line == std::string::npos ? line : errors.find(marker, line);
  if (at == std::string::npos || at > errors.find('\n', line)) return {};
  std::istringstream packages(errors.substr(at + marker.size(), errors.find('\n', at) - at - marker.size()));
  return {std::istream_iterator<std::string>(packages), std::istream_iterator<std::string>()};
}

TEST_F(SetupTest, TheMainJobAsksOnlyForWhatBuildingNeeds) {
  ScriptRun main = run({sourceDirectory + "/scripts/setup", "--dry-run"}, "0");
  EXPECT_EQ(main.exitCode, 0) << main.errors;
  EXPECT_EQ(wouldInstall(main.errors),
            (std::set<std::string>{"cmake", "make", "g++", "pkg-config", "libpulse-dev"}))
      << main.errors;
  EXPECT_EQ(main.errors.find("i386"), std::string::npos) << main.errors;

  ScriptRun test = run({sourceDirectory + "/scripts/setup", "--test", "--dry-run"}, "0");
  EXPECT_EQ(test.exitCode, 0) << test.errors;
  std::set<std::string> testPackages = wouldInstall(test.errors);
  for (const char* package : {"cmake", "libgtest-dev", "wine32:i386", "g++-mingw-w64-i686-win32", "clang"})
    EXPECT_EQ(testPackages.count(package), 1u) << package << "\n" << test.errors;
  EXPECT_NE(test.errors.find("would run: dpkg --add-architecture i386\n"), std::string::npos) << test.errors;

  // Without root: the missing packages the build cannot do without, by name; play's
  // are only mentioned.
  ScriptRun user = run({sourceDirectory + "/scripts/setup", "--dry-run"}, "1000");
  EXPECT_EQ(user.exitCode, 1);
  EXPECT_NE(user.errors.find("setup: missing packages: cmake make g++ (install them as root)\n"),
            std::string::npos)
      << user.errors;
  EXPECT_NE(user.errors.find("without pkg-config libpulse-dev, vantor play is built without sound output"),
            std::string::npos)
      << user.errors;
}

// Backports come from the URI and keyring of the release's own source, in either
// form of source file; the security source beside it is not taken.
TEST_F(SetupTest, AnExtraSourceIsDerivedFromTheConfiguredDebianSource) {
  const std::string expected =
      "Types: deb\nURIs: file:/srv/mirror/debian\nSuites: bookworm-backports\nComponents: main\n"
      "Signed-By: /usr/share/keyrings/example.gpg\n";
  std::filesystem::path deb822 = directory_ / "deb822";
  writeText(
      deb822 / "sources.list.d/debian.sources",
      "Types: deb\nURIs: file:/srv/mirror/debian-security\nSuites: bookworm-security\nComponents: main\n\n"
      "# the release\nTypes: deb deb-src\nURIs: file:/srv/mirror/debian\nSuites: bookworm "
      "bookworm-updates\n"
      "Components: main\nSigned-By: /usr/share/keyrings/example.gpg\n");
  std::filesystem::path oneLine = directory_ / "one-line";
  writeText(
      oneLine / "sources.list",
      "deb file:/srv/mirror/debian-security bookworm-security main\n"
      "deb-src file:/srv/mirror/source bookworm main\n"
      "deb [arch=amd64 signed-by=/usr/share/keyrings/example.gpg] file:/srv/mirror/debian bookworm main\n");
  for (const std::filesystem::path& apt : {deb822, oneLine}) {
    SCOPED_TRACE(apt.filename().string());
    Process script({sourceDirectory + "/scripts/debian-source", "bookworm-backports", apt.string()}, {},
                   directory_ / "out", directory_ / "err");
    EXPECT_EQ(script.wait(), 0) << readText(directory_ / "err");
    EXPECT_EQ(readText(directory_ / "out"), expected);
  }
}

}  // namespace
}  // namespace vantor::test
