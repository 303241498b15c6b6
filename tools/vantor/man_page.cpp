#include "man_page.h"

#include <initializer_list>
#include <sstream>
#include <string_view>
#include <vector>

#include "command_line.h"
#include "help_text.h"

namespace vantor::tool {

namespace {

// Text that roff prints as it is: a backslash escaped, a hyphen as the hyphen-minus
// that a command line needs, and the line begun with \& so that a leading . or ' is
// not read as a request.
std::string roffText(const std::string& text) {
  std::string out = "\\&";
  for (char c : text) {
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
  }
  return out;
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Appends the pieces to the page one after the other (GCC 12 warns about a false
// overlap in "text" + string).
void append(std::string& roff, std::initializer_list<std::string_view> pieces) {
  for (std::string_view piece : pieces) roff += piece;
}

std::size_t indentOf(const std::string& line) {
  std::size_t indent = line.find_first_not_of(' ');
  return indent == std::string::npos ? 0 : indent;
}

// An item line: two blanks, a tag ("-o, --output OUT.wav", "render", "128 + N") and,
// after two or more blanks, its text.
bool splitItem(const std::string& line, std::string& tag, std::string& text) {
  if (indentOf(line) != 2) return false;
  std::size_t gap = line.find("  ", 2);
  if (gap == std::string::npos) return false;
  std::size_t start = line.find_first_not_of(' ', gap);
  if (start == std::string::npos) return false;
  tag = line.substr(2, gap - 2);
  text = line.substr(start);
  return true;
}

}  // namespace

std::string helpAsRoff(const std::string& help) {
  std::vector<std::string> lines = linesOf(help);
  std::string roff;
  for (std::size_t i = 0; i < lines.size();) {
    const std::string& line = lines[i];
    std::string tag, text;
    if (line.empty()) {
      ++i;
    } else if (line.starts_with("usage: ")) {
      // The usage and its further forms, one per line.
      append(roff, {".PP\n.nf\n", roffText(line.substr(7)), "\n"});
      for (++i; i < lines.size() && lines[i].starts_with("       "); ++i)
        append(roff, {roffText(lines[i].substr(7)), "\n"});
      roff += ".fi\n";
    } else if (splitItem(line, tag, text)) {
      // Its text goes on in the lines indented deeper.
      for (++i; i < lines.size() && indentOf(lines[i]) > 2; ++i)
        append(text, {" ", lines[i].substr(indentOf(lines[i]))});
      append(roff, {".TP\n", roffText(tag), "\n", roffText(text), "\n"});
    } else if (indentOf(line) > 0) {
      roff += ".PP\n.nf\n";
      for (; i < lines.size() && indentOf(lines[i]) > 0 && !splitItem(lines[i], tag, text); ++i)
        append(roff, {roffText(lines[i]), "\n"});
      roff += ".fi\n";
    } else {
      // A paragraph, or the heading of the items below it ("Options:").
      roff += ".PP\n";
      for (; i < lines.size() && !lines[i].empty() && indentOf(lines[i]) == 0; ++i)
        append(roff, {roffText(lines[i]), "\n"});
    }
  }
  return roff;
}

std::string manPage() {
  // Left-aligned and unhyphenated: option names and file names stay whole.
  std::string page = ".TH VANTOR 1 \"\" \"vantor " VANTOR_VERSION "\" \"User Commands\"\n.ad l\n.nh\n";
  page += ".SH NAME\nvantor \\- render, play and examine XM (Extended Module) songs\n";
  // The general help's usage is the synopsis; the rest of it, the description.
  std::string general = helpText(std::nullopt);
  std::size_t usageEnd = general.find("\n\n");
  append(page, {".SH SYNOPSIS\n", helpAsRoff(general.substr(0, usageEnd)), ".SH DESCRIPTION\n",
                helpAsRoff(general.substr(usageEnd)), ".SH COMMANDS\n"});
  for (Command command : songCommands())
    append(page, {".SS ", roffText(commandName(command)), "\n", helpAsRoff(helpText(command))});
  return page;
}

}  // namespace vantor::tool
