#include "load_refusal.h"

#include "exit_codes.h"

namespace vantor::tool {

namespace {

// The loader's notes, one per line, indented under the reason.
std::string loaderReasons(const LoadNotes& notes) {
  char text[1024];
  describeLoadNotes(notes, text, sizeof text);
  std::string reasons = text;
  while (!reasons.empty() && reasons.back() == '\n') reasons.pop_back();
  for (std::size_t at = reasons.find('\n'); at != std::string::npos; at = reasons.find('\n', at + 3))
    reasons.replace(at, 1, "\n  ");
  return reasons;
}

}  // namespace

Refusal refusalOf(const LoadNotes& notes, const std::string& name) {
  switch (notes.refusal) {
    case LoadRefusal::CannotOpen:
      return {exitUnreadableSong, "cannot read " + name + ": it cannot be opened"};
    case LoadRefusal::SizeUnknown:
      return {exitUnreadableSong, "cannot read " + name + ": its size cannot be told (2 GiB or more)"};
    case LoadRefusal::NotExtendedModule:
      return {exitNotXm, name + " is not an XM file (no \"Extended Module: \" ID)"};
    case LoadRefusal::OutOfMemory:
      return {exitFailure, "out of memory while loading " + name};
    default:
      return {exitRefusedSong, "the loader refuses " + name + ":\n  " + loaderReasons(notes)};
  }
}

}  // namespace vantor::tool
