#include "loading/load_notes.h"

#include <cstdarg>
#include <cstdio>

namespace vantor {

namespace {

LoadNotes clearedNotes() {
  LoadNotes cleared{};
  cleared.refusedPattern = -1;
  cleared.refusedInstrument = -1;
  cleared.instrumentsCutAt = -1;
  return cleared;
}

LoadNotes notes = clearedNotes();

const char* refusalText(LoadRefusal refusal) {
  switch (refusal) {
    case LoadRefusal::None:
      return nullptr;
    case LoadRefusal::CannotOpen:
      return "the source cannot be opened";
    case LoadRefusal::SizeUnknown:
      return "the source cannot tell its size";
    case LoadRefusal::NotExtendedModule:
      return "not an Extended Module (ID text missing)";
    case LoadRefusal::HeaderCut:
      return "the module header or order table is cut short";
    case LoadRefusal::PatternCut:
      return "pattern data is cut short";
    case LoadRefusal::PatternsTooLarge:
      return "the patterns need more than 64 MiB of cells";
    case LoadRefusal::TooManySamples:
      return "an instrument declares more than 16 samples";
    case LoadRefusal::OutOfMemory:
      return "out of memory";
  }
  return "unknown";
}

// Appends formatted text while keeping count of the full length.
struct TextWriter {
  char* text;
  std::size_t capacity;
  std::size_t length;

  void line(const char* format, ...) {
    char buffer[160];
    va_list arguments;
    va_start(arguments, format);
    int written = std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    if (written < 0) return;
    std::size_t count = static_cast<std::size_t>(written) < sizeof buffer ? written : sizeof buffer - 1;
    for (std::size_t i = 0; i <= count; ++i) {
      char c = i < count ? buffer[i] : '\n';
      if (length + 1 < capacity) text[length] = c;
      ++length;
    }
  }

  // A line that starts with a count, its words in agreement with it.
  void counted(int count, const char* one, const char* many) {
    line("%d %s", count, count == 1 ? one : many);
  }
};

}  // namespace

const LoadNotes& lastLoadNotes() { return notes; }

LoadNotes& beginLoadNotes() {
  notes = clearedNotes();
  return notes;
}

std::size_t describeLoadNotes(const LoadNotes& n, char* text, std::size_t capacity) {
  TextWriter out{text, capacity, 0};
  if (const char* refusal = refusalText(n.refusal)) {
    out.line("refused: %s", refusal);
    if (n.refusedPattern >= 0) out.line("refused at pattern %d", n.refusedPattern);
    if (n.refusedInstrument >= 0) out.line("refused at instrument %d", n.refusedInstrument + 1);
  }
  if (n.songLengthLimited) out.line("song length %u limited to 1..256", unsigned{n.songLengthFromFile});
  if (n.restartPositionReset) out.line("restart position %u reset to 0", unsigned{n.restartPositionFromFile});
  if (n.channelsLimited) out.line("channels limited from %u to 32", unsigned{n.channelCountFromFile});
  if (n.bpmReplaced) out.line("default BPM %d replaced by 125", int{n.defaultBpmFromFile});
  if (n.instrumentCountNegative) out.line("instrument count reads as negative: no instruments");
  if (n.emptyPatternsAdded > 0)
    out.counted(n.emptyPatternsAdded, "empty pattern added for the order table",
                "empty patterns added for the order table");
  if (n.zeroRowPatterns > 0)
    out.counted(n.zeroRowPatterns, "pattern of 0 rows kept as 64 empty rows",
                "patterns of 0 rows kept as 64 empty rows");
  if (n.instrumentsCutAt >= 0) {
    out.line("file ends inside instrument %d: %d %s left empty", n.instrumentsCutAt + 1, n.instrumentsCut,
             n.instrumentsCut == 1 ? "instrument" : "instruments");
  }
  if (n.samplesShortened > 0)
    out.counted(n.samplesShortened, "sample shortened at the end of the file",
                "samples shortened at the end of the file");
  if (n.sampleLengthsLimited > 0)
    out.counted(n.sampleLengthsLimited, "sample length limited below 2^30",
                "sample lengths limited below 2^30");
  if (n.loopsClamped > 0)
    out.counted(n.loopsClamped, "sample loop clamped to its sample", "sample loops clamped to their samples");
  if (n.envelopesLimited > 0)
    out.counted(n.envelopesLimited, "envelope limited to 12 points and values 0..64",
                "envelopes limited to 12 points and values 0..64");
  if (capacity > 0) text[out.length < capacity ? out.length : capacity - 1] = '\0';
  return out.length;
}

}  // namespace vantor
