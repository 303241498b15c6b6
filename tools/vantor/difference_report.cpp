#include "difference_report.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace vantor::tool {

namespace {

constexpr int positionsShown = 3;

std::string plural(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string cellText(const CellPosition& cell) {
  return "order " + std::to_string(cell.order) + " row " + std::to_string(cell.row) + " channel " +
         std::to_string(cell.channel);
}

// "order 0 row 6 channel 3, order 0 row 14 channel 3, ..."
std::string cellList(const std::vector<CellPosition>& cells) {
  std::string list;
  for (std::size_t i = 0; i < cells.size() && i < positionsShown; ++i) {
    if (i > 0) list += ", ";
    list += cellText(cells[i]);
  }
  if (cells.size() > positionsShown) list += ", ...";
  return list;
}

std::string versionText(uint16_t version) {
  char text[16];
  std::snprintf(text, sizeof text, "%d.%02x", version >> 8, version & 0xFF);
  return text;
}

// What one rule found in the song: its cells, or the places in the file it names.
struct RuleFound {
  int rule;
  std::vector<CellPosition> cells;
  std::vector<std::string> places;
};

// The rules in the order the song first meets them (the file's own rules first).
std::vector<RuleFound> byRule(const Findings& findings) {
  std::vector<RuleFound> found;
  for (const Finding& finding : findings.all()) {
    RuleFound* entry = nullptr;
    for (RuleFound& existing : found) {
      if (existing.rule == finding.rule) entry = &existing;
    }
    if (entry == nullptr) entry = &found.emplace_back(RuleFound{finding.rule, {}, {}});
    if (finding.wholeFile) {
      entry->places.push_back(finding.where);
    } else {
      entry->cells.push_back(finding.cell);
    }
  }
  return found;
}

// The loader refuses a file with such an instrument, where trackers play it.
const RuleText tooManySamples = {"an instrument with more than 16 samples", "vantor refuses the whole file",
                                 "trackers that write more play them",
                                 "keep every instrument at 16 samples or fewer"};

// A cell of a Markdown table: its text, with the table's own separator escaped.
std::string tableCell(const std::string& text) {
  std::string cell;
  for (char c : text) {
    if (c == '|') cell += '\\';
    cell += c;
  }
  return cell;
}

void printRuleLine(const RuleText& text, const char* mark, bool markdown) {
  std::string construct = std::string(text.construct) + mark;
  if (markdown) {
    std::printf("| %s | %s | %s | %s |\n", tableCell(construct).c_str(), tableCell(text.vantorDoes).c_str(),
                tableCell(text.trackersDo).c_str(), tableCell(text.sameInBoth).c_str());
  } else {
    std::printf("%s: %s; %s; to sound the same in both: %s\n", construct.c_str(), text.vantorDoes,
                text.trackersDo, text.sameInBoth);
  }
}

}  // namespace

void printTrackerDifferences(const DifferenceFinder& finder) {
  std::vector<std::string> lines;
  for (const RuleFound& found : byRule(finder.findings())) {
    const RuleText& text = finder.rules()[found.rule]->text();
    std::string where;
    for (const std::string& place : found.places) where += (where.empty() ? "" : ", ") + place;
    if (!found.cells.empty()) {
      if (!where.empty()) where += "; ";
      where += plural(found.cells.size(), "cell", "cells") + " (" + cellList(found.cells) + ")";
    }
    lines.push_back(std::string(text.construct) + ": " + where + " — " + text.vantorDoes + ", " +
                    text.trackersDo + "; to sound the same in both: " + text.sameInBoth);
  }
  if (lines.empty()) {
    std::printf(
        "sounds different from trackers: none — the song plays as trackers play it, as far as these "
        "rules go\n");
    return;
  }
  std::printf("sounds different from trackers:\n");
  for (const std::string& line : lines) std::printf("  %s\n", line.c_str());
}

int printCheckFindings(const std::string& song, const DifferenceFinder& finder) {
  int lines = 0;
  for (const Finding& finding : finder.findings().all()) {
    const RuleText& text = finder.rules()[finding.rule]->text();
    if (finding.wholeFile) {
      std::printf("%s: %s (%s): %s; %s\n", song.c_str(), text.construct, finding.where.c_str(),
                  text.vantorDoes, text.trackersDo);
    } else {
      std::printf("%s:%d:%d:%d: %s: %s; %s\n", song.c_str(), finding.cell.order, finding.cell.row,
                  finding.cell.channel, text.construct, text.vantorDoes, text.trackersDo);
    }
    ++lines;
  }
  return lines;
}

std::vector<std::string> refusalDifferences(const LoadNotes& notes, uint16_t version) {
  std::vector<std::string> texts;
  if (notes.refusal == LoadRefusal::TooManySamples) {
    texts.push_back(std::string(tooManySamples.construct) + ": " + tooManySamples.vantorDoes + "; " +
                    tooManySamples.trackersDo + " (" + tooManySamples.sameInBoth + ")");
  }
  if (version < firstReadXmVersion) {
    texts.push_back("the file is XM version " + versionText(version) +
                    "; vantor reads only the layout of version 1.04, trackers also read the older layouts "
                    "(save the song again in a current tracker)");
  }
  return texts;
}

void printRuleList(bool markdown) {
  if (markdown) {
    std::printf("| Construct | What vantor does | What trackers do | To sound the same in both |\n");
    std::printf("|---|---|---|---|\n");
  }
  // The rules of the cells first, then those of the file, each in the finder's order.
  std::vector<std::unique_ptr<Rule>> rules = makeRules();
  for (bool wholeFile : {false, true}) {
    for (const std::unique_ptr<Rule>& rule : rules) {
      if (rule->wholeFile() == wholeFile)
        printRuleLine(rule->text(), wholeFile ? " (for the file)" : "", markdown);
    }
  }
  printRuleLine(tooManySamples, " (the refusal)", markdown);
}

}  // namespace vantor::tool
