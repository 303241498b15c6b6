#include "help_text.h"

#include <cstdio>

#include "output/renderer.h"

namespace vantor::tool {

namespace {

const char generalHelp[] =
    "usage: vantor COMMAND (SONG.xm | --demo) [OPTIONS]\n"
    "       vantor check SONG.xm...   (or vantor check --list-rules)\n"
    "       vantor help COMMAND   (or vantor COMMAND --help) for one command in full\n"
    "       vantor --version\n"
    "\n"
    "Commands:\n"
    "  render   write the song as a WAV file\n"
    "  info     show what the song holds, how long one pass lasts, where it differs\n"
    "           from trackers\n"
    "  check    list every place where songs sound different from trackers, one\n"
    "           line each, for a build or a folder of songs\n"
    "  trace    print the replay state after each tick\n"
    "  play     play the song through PulseAudio\n"
    "  export   write the song as an XM file of its own\n"
    "\n"
    "--demo instead of SONG.xm uses the built-in demo song.\n"
    "One pass lasts until the song first comes back to a row it has already played;\n"
    "rows that a pattern loop (E6x) repeats do not count.\n"
    "\n"
    "Exit codes:\n"
    "  0  success\n"
    "  1  another failure (out of memory, the sound output failed); for check:\n"
    "     something sounds different from trackers, or a song does not load\n"
    "  2  usage error\n"
    "  3  the song file is missing or cannot be read\n"
    "  4  the file is not an XM (Extended Module) file\n"
    "  5  the loader refuses the song\n"
    "  6  the output file cannot be written\n"
    "  7  PulseAudio is unavailable\n"
    "  128 + N  stopped by signal N: 130 after Ctrl-C, 143 after SIGTERM, 129 after SIGHUP\n";

const char demoOption[] = "  --demo                the built-in demo song instead of SONG.xm\n";
const char plainNumbers[] = "Numbers are plain decimal, like 90 or 2.5: no sign, exponent or blanks.\n";

// The hours, and for a render the size of the file, follow from the limit.
std::string secondsLimit(bool withFileSize) {
  char text[160];
  int hours = static_cast<int>(maxSeconds / 3600);
  double gigabytes = maxSeconds * mixRate * bytesPerFrame / 1e9;
  if (withFileSize) {
    std::snprintf(text, sizeof text, "above 0 and at most %d\n%24s(%d hours, a WAV file of %.1f GB)",
                  static_cast<int>(maxSeconds), "", hours, gigabytes);
  } else {
    std::snprintf(text, sizeof text, "above 0 and at most %d (%d hours)", static_cast<int>(maxSeconds),
                  hours);
  }
  return text;
}

// What a render or an export leaves at its output path.
const char outputSafety[] =
    "The file appears only once it is complete: until then the output goes into a new\n"
    "file beside it, which a failure or Ctrl-C removes, so a file that was there stays\n"
    "as it was. A device, FIFO or terminal is written directly and never removed. The\n"
    "output may not be the song itself.\n";

std::string renderHelp() {
  return std::string(
             "usage: vantor render (SONG.xm | --demo) -o OUT.wav [--seconds S]\n"
             "\n"
             "Writes the song as a WAV file of 16-bit stereo PCM at 44100 Hz, in whole blocks of\n"
             "884 frames (20 ms): as many as cover S seconds, or else one pass of the song, at\n"
             "most 20 minutes. A progress bar shows on a terminal.\n"
             "\n") +
         outputSafety +
         "\n"
         "Options:\n"
         "  -o, --output OUT.wav  the WAV file; - writes it to standard output\n"
         "  --seconds S           how much of the song: " +
         secondsLimit(true) + "\n" + demoOption + "\n" + plainNumbers +
         "\n"
         "Example:\n"
         "  vantor render song.xm -o first-minute.wav --seconds 60\n";
}

std::string infoHelp() {
  return std::string(
             "usage: vantor info (SONG.xm | --demo)\n"
             "\n"
             "Shows the module and tracker names, channels, song length, restart position,\n"
             "patterns, instruments and samples, frequency table (linear or Amiga), default\n"
             "speed and BPM, the length of one pass, and every value the loader had to refuse\n"
             "or limit. Then, under \"sounds different from trackers\", each rule of this\n"
             "player that the song meets where trackers play it otherwise and the\n"
             "difference is heard, with the number of cells and the first positions (order,\n"
             "row, channel, from 0), what each side does and how to write it so that both\n"
             "play it alike; none listed means the song plays as trackers play it, as far\n"
             "as these rules go. A difference counts as heard where the channel sounds in the\n"
             "mix: a note against none, a pitch 15 cents apart, a level step that moves the mix\n"
             "by 2.5 dB for 50 ms. A few rules follow the tracker that saved the song, as the\n"
             "tracker name and the title's padding tell. vantor check lists every cell.\n"
             "\n"
             "Options:\n") +
         demoOption +
         "\n"
         "Example:\n"
         "  vantor info song.xm\n";
}

std::string checkHelp() {
  return std::string(
             "usage: vantor check SONG.xm... [--demo]\n"
             "       vantor check --list-rules [--markdown]\n"
             "\n"
             "Replays each song once and prints one line for every cell where it will sound\n"
             "different from trackers, in the form that editors and build tools read:\n"
             "\n"
             "  SONG:order:row:channel: construct: what vantor does; what trackers do\n"
             "\n"
             "Orders, rows and channels count from 0, as trace shows them. A rule that acts on\n"
             "the whole file gives \"SONG: construct (where): ...\" instead. A song that does not\n"
             "load is named on standard error with the reason, and the next song is read all\n"
             "the same. The last line sums up. vantor info SONG.xm says how to write each\n"
             "construct so that both play it alike.\n"
             "\n"
             "Exit codes: 0 nothing found, 1 something found or a song did not load, 2 usage.\n"
             "\n"
             "Options:\n") +
         "  --demo                the built-in demo song, as one of the songs\n"
         "  --list-rules          list every rule that check names, one line each: the\n"
         "                        construct, what each side does, how to write it alike\n"
         "  --markdown            the list as a Markdown table\n"
         "\n"
         "Example:\n"
         "  vantor check music/*.xm\n";
}

std::string traceHelp() {
  return std::string(
             "usage: vantor trace (SONG.xm | --demo) --ticks N\n"
             "\n"
             "Prints the replay state after each of the first N ticks, for comparing runs line\n"
             "by line: a line \"tick n orderPosition row tick speed bpm globalVolume\" and then a\n"
             "line \"ch c ...\" for each channel, its state and the mixer voice it drives.\n"
             "\n"
             "Options:\n"
             "  --ticks N             how many ticks: a whole number from 0 to ") +
         std::to_string(maxTicks) + ", in digits only\n" + demoOption +
         "\n"
         "Example:\n"
         "  vantor trace song.xm --ticks 100 > song.trace\n";
}

std::string playHelp() {
  return std::string(
             "usage: vantor play (SONG.xm | --demo) [--volume V] [--seconds S]\n"
             "\n"
             "Plays the song through PulseAudio until Ctrl-C, or for S seconds of sound counted\n"
             "from the first frame PulseAudio plays. On a terminal it shows the order position,\n"
             "row and time being heard.\n"
             "\n"
             "Options:\n"
             "  --volume V            from 0 (silent) to 1 (full, the default)\n"
             "  --seconds S           how long: ") +
         secondsLimit(false) + "\n" + demoOption + "\n" + plainNumbers +
         "\n"
         "Example:\n"
         "  vantor play song.xm --volume 0.5 --seconds 30\n";
}

std::string exportHelp() {
  return std::string(
             "usage: vantor export (SONG.xm | --demo) -o OUT.xm\n"
             "\n"
             "Writes the song's XM bytes, once the loader accepts them, to a file of their own.\n"
             "With --demo it gives the demo song as an XM file, for programs that only load\n"
             "files.\n"
             "\n") +
         outputSafety +
         "\n"
         "Options:\n"
         "  -o, --output OUT.xm   the XM file; - writes it to standard output\n" +
         demoOption +
         "\n"
         "Example:\n"
         "  vantor export --demo -o demo.xm\n";
}

}  // namespace

std::string helpText(std::optional<Command> command) {
  switch (command.value_or(Command::help)) {
    case Command::render:
      return renderHelp();
    case Command::info:
      return infoHelp();
    case Command::check:
      return checkHelp();
    case Command::trace:
      return traceHelp();
    case Command::play:
      return playHelp();
    case Command::exportXm:
      return exportHelp();
    case Command::help:
    case Command::version:
      break;
  }
  return generalHelp;
}

std::string versionText() { return std::string("vantor ") + VANTOR_VERSION + "\n"; }

}  // namespace vantor::tool
