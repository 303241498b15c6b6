// The C entry points of the browser module; vantor.mjs wraps them. A song is loaded
// from bytes through the player's memory source, rendered from play start block by
// block exactly as the tool's render writes it, examined as info and check examine
// a song (the same finder and the same words), and read for display.
//
// The player keeps one ring, one voice pool and one channel table per process, as in
// the game, so one song renders at a time, and examining (which replays the song,
// mixer included) cannot run beside it: vantor.mjs examines in an instance of its own.
#include <emscripten/emscripten.h>
#include <malloc.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "difference_report.h"
#include "exit_codes.h"
#include "json_text.h"
#include "load_refusal.h"
#include "loading/byte_source.h"
#include "loading/load_notes.h"
#include "loading/xm_loader.h"
#include "output/mixer.h"
#include "output/play_start.h"
#include "output/release.h"
#include "output/renderer.h"
#include "sequencer/channel.h"
#include "song_info.h"
#include "song_pass.h"
#include "tick_watch.h"
#include "tracker_differences.h"
#include "vantor/demo/demo_song.h"

namespace vantor::web {

namespace {

// Where a tick begins in the output, and where the song is in it.
struct TickStart {
  uint64_t frame;
  int32_t order;
  int32_t row;
  int32_t tick;
};

struct Examination {
  tool::HeaderNames names;
  std::unique_ptr<tool::DifferenceFinder> finder;
  std::unique_ptr<tool::PassRun> pass;
};

struct WebSong {
  std::vector<uint8_t> bytes;  // kept for restart, which loads the song afresh
  Song* song = nullptr;
  LoadNotes notes{};  // of the load, for the examination

  // Playing: the tick watch exists from the first render on.
  std::unique_ptr<tool::TickWatch> watch;
  std::deque<TickStart> ticks;  // from the tick of the last frame handed out on
  int32_t tickInRow = 0;
  uint64_t framesHandedOut = 0;
  int16_t block[blockFrames * 2];  // the block rendered last, as PCM (interleaved)
  int blockFramesLeft = 0;         // its last frames, not yet handed out
  std::vector<int16_t> handedOut;
  int32_t position[3] = {0, 0, 0};
  uint32_t mutedChannels = 0;  // a listening aid: bit c silences channel c
  bool interrupted = false;    // another song took the ring: restart before rendering again

  std::unique_ptr<Examination> examination;
  std::string infoJson;
  std::string findingsJson;
};

WebSong* ringOwner = nullptr;     // the song whose blocks the ring renders
WebSong* examining = nullptr;     // the song whose pass runs
std::string lastError;            // why the last call failed
std::string returnedText;         // the text a call returned, until the next such call

Song* loadFromBytes(const std::vector<uint8_t>& bytes) {
  memoryBlock = {bytes.data(), static_cast<uint32_t>(bytes.size()), 0};
  setFileCallbacks(memOpen, memClose, memRead, memSeek, memTell);
  Song* song = loadSong("memory", nullptr);
  memoryBlock = {nullptr, 0, 0};
  return song;
}

void endPlaying(WebSong& song) {
  song.watch.reset();
  if (ringOwner == &song) {
    endRing();
    ringOwner = nullptr;
  }
  song.ticks.clear();
  song.tickInRow = 0;
  song.framesHandedOut = 0;
  song.blockFramesLeft = 0;
  std::fill(std::begin(song.position), std::end(song.position), 0);
}

void endExamination(WebSong& song) {
  song.examination.reset();
  if (examining == &song) examining = nullptr;
}

// After every tick: where the song is, and the listening aid's muted channels (their
// voices' targets set silent, so that the mixer ramps them out).
void watchTick(WebSong& web, const Song& song, const tool::TickCall& call) {
  web.tickInRow = call.rowTick ? 0 : web.tickInRow + 1;
  web.ticks.push_back({call.startFrame, song.orderPosition, song.row, web.tickInRow});
  for (int c = 0; c < channelTableSize; ++c) {
    if ((web.mutedChannels >> c & 1) == 0) continue;
    for (int voice : {c, c + channelTableSize}) {
      voicePool[voice].leftVolume = 0;
      voicePool[voice].rightVolume = 0;
    }
  }
}

bool startPlaying(WebSong& web) {
  if (ringOwner != nullptr) {
    ringOwner->interrupted = true;
    endPlaying(*ringOwner);
  }
  resetForPlay(web.song);
  if (!allocateMixBuffer()) return false;
  soundBuffer = nullptr;  // the blocks are taken from the mix buffer
  currentSong = web.song;
  blockIndex = 0;
  ringOwner = &web;
  web.watch = std::make_unique<tool::TickWatch>(
      web.song, [&web](const Song& song, const tool::TickCall& call) { watchTick(web, song, call); });
  return true;
}

void renderOneBlock(WebSong& web) {
  int first = blockIndex * blockFrames;
  renderBlock();
  convertBlock(mixBuffer.frames + 2 * first, web.block);
  web.blockFramesLeft = blockFrames;
}

// The position of the last frame handed out; ticks before it are forgotten.
void updatePosition(WebSong& web) {
  if (web.framesHandedOut == 0) return;
  uint64_t last = web.framesHandedOut - 1;
  while (web.ticks.size() > 1 && web.ticks[1].frame <= last) web.ticks.pop_front();
  if (web.ticks.empty()) return;
  web.position[0] = web.ticks.front().order;
  web.position[1] = web.ticks.front().row;
  web.position[2] = web.ticks.front().tick;
}

void appendInfo(JsonText& json, const tool::SongInfo& info) {
  json.open('{');
  json.key("moduleName").string(info.names.module);
  json.key("trackerName").string(info.names.tracker);
  json.key("channels").number(info.channels);
  json.key("songLength").number(info.songLength);
  json.key("restartPosition").number(info.restartPosition);
  json.key("patterns").number(info.patterns);
  json.key("instruments").number(info.instruments);
  json.key("samples").number(info.samples);
  json.key("frequencyTable").string(info.linearFrequencyTable ? "linear" : "Amiga");
  json.key("defaultSpeed").number(info.defaultSpeed);
  json.key("defaultBpm").number(info.defaultBpm);
  json.key("onePassFrames").number(static_cast<int64_t>(info.pass.frames));
  json.key("onePassLimited").boolean(info.pass.limited);
  json.key("loaderNotes").open('[');
  for (const std::string& note : info.loaderNotes) json.element().string(note);
  json.close(']');
  json.key("lines").open('[');
  for (const auto& [field, value] : tool::infoLines(info)) {
    json.element().open('[').string(field).raw(",").string(value).close(']');
  }
  json.close(']');
  json.close('}');
}

void appendFindings(JsonText& json, const tool::DifferenceFinder& finder) {
  json.open('[');
  for (const tool::Finding& finding : finder.findings().all()) {
    const tool::RuleText& text = finder.rules()[finding.rule]->text();
    json.element().open('{');
    if (finding.wholeFile) {
      json.key("order").null().key("row").null().key("channel").null();
    } else {
      json.key("order").number(finding.cell.order);
      json.key("row").number(finding.cell.row);
      json.key("channel").number(finding.cell.channel);
    }
    json.key("construct").string(text.construct);
    json.key("vantor").string(text.vantorDoes);
    json.key("trackers").string(text.trackersDo);
    json.key("advice").string(text.sameInBoth);
    json.key("where");
    if (finding.wholeFile) {
      json.string(finding.where);
    } else {
      json.null();
    }
    json.close('}');
  }
  json.close(']');
}

const std::vector<uint8_t>& demoBytes() {
  static const std::vector<uint8_t> bytes = demo::demoSongBytes();
  return bytes;
}

void finishExamination(WebSong& web) {
  Examination& examination = *web.examination;
  tool::SongInfo info =
      tool::describeSong(*web.song, examination.names, examination.pass->length(), web.notes);
  JsonText infoJson;
  appendInfo(infoJson, info);
  web.infoJson = infoJson.text();
  JsonText findingsJson;
  appendFindings(findingsJson, *examination.finder);
  web.findingsJson = findingsJson.text();
  endExamination(web);
}

}  // namespace

}  // namespace vantor::web

using vantor::web::WebSong;

extern "C" {

// A song from its XM bytes, or null with vantor_error() saying why (in the words of
// vantor info, naming the song as `name`).
EMSCRIPTEN_KEEPALIVE WebSong* vantor_load(const uint8_t* bytes, uint32_t size, const char* name) {
  using namespace vantor;
  auto web = std::make_unique<WebSong>();
  web->bytes.assign(bytes, bytes + size);
  web->song = web::loadFromBytes(web->bytes);
  web->notes = lastLoadNotes();
  if (web->song == nullptr) {
    tool::Refusal refusal = tool::refusalOf(web->notes, name);
    web::lastError = refusal.reason;
    if (refusal.exitCode == tool::exitRefusedSong) {
      uint16_t version = tool::headerNames(web->bytes.data(), web->bytes.size()).version;
      for (const std::string& text : tool::refusalDifferences(web->notes, version)) web::lastError += "\n" + text;
    }
    return nullptr;
  }
  return web.release();
}

EMSCRIPTEN_KEEPALIVE const char* vantor_error() { return vantor::web::lastError.c_str(); }

EMSCRIPTEN_KEEPALIVE void vantor_free(WebSong* web) {
  if (web == nullptr) return;
  vantor::web::endPlaying(*web);
  vantor::web::endExamination(*web);
  vantor::freeSong(web->song);
  delete web;
}

// Runs up to `ticks` more ticks of the examination: 1 once it has ended, 0 while it
// goes on, -1 when it cannot run here (a song renders in this instance, or another
// is being examined). The song is replayed by it, so it is not rendered afterwards.
EMSCRIPTEN_KEEPALIVE int vantor_examine(WebSong* web, uint32_t ticks) {
  using namespace vantor;
  if (!web->infoJson.empty()) return 1;
  if (web::ringOwner != nullptr || (web::examining != nullptr && web::examining != web)) {
    web::lastError = "the song cannot be examined while another song renders or is examined here";
    return -1;
  }
  if (web->examination == nullptr) {
    auto examination = std::make_unique<web::Examination>();
    examination->names = tool::headerNames(web->bytes.data(), web->bytes.size());
    examination->finder = std::make_unique<tool::DifferenceFinder>(web->song);
    examination->finder->examineFile(web->bytes, web->notes, examination->names.version,
                                     examination->names.tracker);
    tool::DifferenceFinder* finder = examination->finder.get();
    examination->pass = std::make_unique<tool::PassRun>(
        web->song, [finder](const Song&, const tool::TickCall& call) { finder->afterTick(call); });
    web->examination = std::move(examination);
    web::examining = web;
  }
  if (!web->examination->pass->advance(ticks)) return 0;
  web::finishExamination(*web);
  return 1;
}

EMSCRIPTEN_KEEPALIVE const char* vantor_info(WebSong* web) { return web->infoJson.c_str(); }
EMSCRIPTEN_KEEPALIVE const char* vantor_findings(WebSong* web) { return web->findingsJson.c_str(); }

// The next `frames` interleaved stereo frames from play start, or null with
// vantor_error() saying why.
EMSCRIPTEN_KEEPALIVE const int16_t* vantor_render(WebSong* web, uint32_t frames) {
  using namespace vantor;
  if (web::examining != nullptr) {
    web::lastError = "no song renders while a song is examined in the same instance";
    return nullptr;
  }
  if (web->interrupted) {
    web::lastError = "another song has rendered since this one; restart it first";
    return nullptr;
  }
  if (web->watch == nullptr && !web::startPlaying(*web)) {
    web::lastError = "out of memory for the mix buffer";
    return nullptr;
  }
  web->handedOut.resize(std::size_t{frames} * 2);
  for (uint32_t done = 0; done < frames;) {
    if (web->blockFramesLeft == 0) web::renderOneBlock(*web);
    uint32_t count = std::min(frames - done, static_cast<uint32_t>(web->blockFramesLeft));
    const int16_t* from = web->block + 2 * (blockFrames - web->blockFramesLeft);
    std::copy(from, from + 2 * count, web->handedOut.data() + 2 * done);
    web->blockFramesLeft -= static_cast<int>(count);
    done += count;
  }
  web->framesHandedOut += frames;
  web::updatePosition(*web);
  return web->handedOut.data();
}

// Back to play start as the song was loaded: loaded afresh from its bytes, since
// playing changes a song for later plays (E5x keeps the finetune it sets).
EMSCRIPTEN_KEEPALIVE int vantor_restart(WebSong* web) {
  using namespace vantor;
  web::endPlaying(*web);
  web::endExamination(*web);
  web->interrupted = false;
  freeSong(web->song);
  web->song = web::loadFromBytes(web->bytes);
  if (web->song == nullptr) web::lastError = "out of memory while loading the song again";
  return web->song != nullptr;
}

// Order position, row and tick of the last frame rendered (all 0 before the first).
EMSCRIPTEN_KEEPALIVE const int32_t* vantor_position(WebSong* web) { return web->position; }

EMSCRIPTEN_KEEPALIVE void vantor_set_muted(WebSong* web, uint32_t channels) { web->mutedChannels = channels; }

EMSCRIPTEN_KEEPALIVE int vantor_channels(WebSong* web) { return web->song->channelCount; }
EMSCRIPTEN_KEEPALIVE int vantor_song_length(WebSong* web) { return web->song->songLength; }
EMSCRIPTEN_KEEPALIVE const uint8_t* vantor_orders(WebSong* web) { return web->song->orders; }
EMSCRIPTEN_KEEPALIVE int vantor_pattern_count(WebSong* web) { return web->song->patternCount; }

// Rows of a pattern (0 for an index outside the song); its cells, rows x channels of
// five bytes (note, instrument, volume, effect, parameter), row-major.
EMSCRIPTEN_KEEPALIVE int vantor_pattern_rows(WebSong* web, int index) {
  const vantor::Song& song = *web->song;
  if (index < 0 || index >= song.patternCount) return 0;
  return static_cast<int>(song.patterns[index].rowCount);
}
EMSCRIPTEN_KEEPALIVE const vantor::NoteCell* vantor_pattern_cells(WebSong* web, int index) {
  const vantor::Song& song = *web->song;
  if (index < 0 || index >= song.patternCount) return nullptr;
  return song.patterns[index].cells;
}

// The tool's built-in demo song as XM bytes.
EMSCRIPTEN_KEEPALIVE const uint8_t* vantor_demo_song() { return vantor::web::demoBytes().data(); }
EMSCRIPTEN_KEEPALIVE uint32_t vantor_demo_song_size() {
  return static_cast<uint32_t>(vantor::web::demoBytes().size());
}

// Bytes of the heap in use, to see that loads and frees leave nothing behind.
EMSCRIPTEN_KEEPALIVE uint32_t vantor_heap_in_use() { return static_cast<uint32_t>(mallinfo().uordblks); }

}  // extern "C"
