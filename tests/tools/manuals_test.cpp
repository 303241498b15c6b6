// The manuals: what they take from the tool is what the tool prints now, and every
// link between them leads somewhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tool_process.h"

namespace vantor::test {
namespace {

const std::filesystem::path sourceDirectory = VANTOR_SOURCE_DIR;

// The lines between a manual's marker lines, each with its line feed.
std::string betweenMarkers(const std::string& text, const std::string& begin, const std::string& end) {
  std::size_t from = text.find("\n" + begin);
  std::size_t to = text.find("\n" + end);
  if (from == std::string::npos || to == std::string::npos || to < from) return "(no markers)";
  from = text.find('\n', from + 1) + 1;
  return text.substr(from, to + 1 - from);
}

TEST(Manuals, TheCompatibilityTableIsWhatCheckListsAsTheRules) {
  ToolRun table = runTool({"check", "--list-rules", "--markdown"});
  ASSERT_EQ(table.exitCode, 0) << table.errors;
  std::string manual = readText(sourceDirectory / "docs/compatibility.md");
  EXPECT_EQ(betweenMarkers(manual, "<!-- rules:", "<!-- end of rules -->"), table.output)
      << "docs/compatibility.md differs from what the rules say: scripts/update-docs writes them in";

  // The same rules, one line each, for a reader of the terminal.
  ToolRun list = runTool({"check", "--list-rules"});
  EXPECT_EQ(list.exitCode, 0) << list.errors;
  EXPECT_NE(list.output.find("stereo samples (for the file): vantor plays both channels one after the other "
                             "as one mono sample; trackers play them in stereo; to sound the same in both: "
                             "make stereo samples mono\n"),
            std::string::npos)
      << list.output;
  EXPECT_EQ(std::count(list.output.begin(), list.output.end(), '\n') + 2,
            std::count(table.output.begin(), table.output.end(), '\n'));
}

std::vector<std::string> wordsOf(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// The man page, as man shows it at 80 columns, says every word of the help and of each
// command's help, in the help's order: it is made from them and loses nothing. Its
// paragraphs are filled to the width and each option stands as the tag of its text.
TEST(Manuals, TheManPageSaysEveryWordOfTheHelpInItsOrder) {
  if (!programInstalled("man")) GTEST_SKIP() << "man is missing (./scripts/setup --test installs man-db)";
  TemporaryDirectory directory;
  ToolRun page = runTool({"help", "--man"});
  ASSERT_EQ(page.exitCode, 0) << page.errors;
  std::ofstream(directory / "vantor.1") << page.output;
  Process man({"man", "--warnings", "-l", (directory / "vantor.1").string()},
              {{"MANWIDTH", "80"}, {"LC_ALL", "C"}}, directory / "page.txt", directory / "warnings.txt");
  ASSERT_EQ(man.wait(), 0) << readText(directory / "warnings.txt");
  EXPECT_EQ(readText(directory / "warnings.txt"), "");
  std::string text = readText(directory / "page.txt");
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;
  EXPECT_NE(text.find("\n       --list-rules\n              list every rule"), std::string::npos) << text;
  std::vector<std::string> shown = wordsOf(text);

  // The general help's usage opens the synopsis, line for line.
  std::string usage = runTool({"--help"}).output;
  usage = usage.substr(std::string("usage: ").size(), usage.find('\n') + 1 - std::string("usage: ").size());
  EXPECT_NE(text.find("\nSYNOPSIS\n       " + usage), std::string::npos) << text;

  std::vector<std::vector<std::string>> helps = {{"--help"}};
  for (const char* command : {"render", "info", "check", "trace", "play", "export"})
    helps.push_back({"help", command});
  for (const std::vector<std::string>& arguments : helps) {
    std::vector<std::string> words = wordsOf(runTool(arguments).output);
    auto at = shown.begin();
    for (const std::string& word : words) {
      if (word == "usage:") continue;  // the usage lines are the synopsis
      at = std::find(at, shown.end(), word);
      ASSERT_NE(at, shown.end()) << "the man page lacks '" << word << "' of vantor " << arguments.back()
                                 << " or says it out of order";
    }
  }
}

// The anchor a heading gets: lower case, without punctuation, blanks as hyphens.
std::string anchorOf(const std::string& heading) {
  std::string anchor;
  for (char c : heading) {
    if (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_') {
      anchor += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    } else if (c == ' ') {
      anchor += '-';
    }
  }
  return anchor;
}

std::set<std::string> anchorsOf(const std::string& text) {
  std::set<std::string> anchors;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("#")) anchors.insert(anchorOf(line.substr(line.find_first_not_of("# "))));
  }
  return anchors;
}

// Every link of the README and the manuals to a file of the repository, or to a
// heading of one, resolves; links to the web are not followed.
TEST(Manuals, EveryLinkLeadsToAFileAndHeadingThatExist) {
  std::vector<std::filesystem::path> manuals = {sourceDirectory / "README.md",
                                                sourceDirectory / "tests/README.md"};
  for (const auto& entry : std::filesystem::directory_iterator(sourceDirectory / "docs")) {
    if (entry.path().extension() == ".md") manuals.push_back(entry.path());
  }
  const std::regex link(R"(\[[^\]]*\]\(([^)\s]+)\))");
  int links = 0;
  for (const std::filesystem::path& manual : manuals) {
    // The prose, code left out; a link's words may run over a line's end.
    std::string prose;
    std::istringstream lines(readText(manual));
    for (std::string line; std::getline(lines, line);) {
      if (!line.starts_with("    ")) prose += line + "\n";
    }
    for (std::sregex_iterator found(prose.begin(), prose.end(), link), end; found != end; ++found) {
      std::string target = (*found)[1];
      if (target.starts_with("http:") || target.starts_with("https:")) continue;
      std::size_t hash = target.find('#');
      std::filesystem::path file = hash == 0 ? manual : manual.parent_path() / target.substr(0, hash);
      ++links;
      ASSERT_TRUE(std::filesystem::exists(file)) << manual << " links to a missing " << target;
      if (hash != std::string::npos) {
        EXPECT_TRUE(anchorsOf(readText(file)).contains(target.substr(hash + 1)))
            << manual << " links to a heading that " << file << " does not have: " << target;
      }
    }
  }
  EXPECT_GT(links, 10);
}

}  // namespace
}  // namespace vantor::test
