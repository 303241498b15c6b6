// loadSong and the module header of the XM loader; patterns and instruments follow
// in xm_patterns.cpp and xm_instruments.cpp.
#include "loading/xm_loader.h"

#include <cstring>

#include "loading/xm_reading.h"
#include "output/release.h"
#include "sequencer/sequencer.h"

namespace vantor {

namespace {

constexpr char extendedModuleId[] = "Extended Module: ";
constexpr int idLength = 17;
constexpr int64_t headerSizeOffset = 60;
constexpr int maxSongLength = 256;
constexpr int16_t usualBpm = 125;

// The module header from offset 60, as stored.
struct XmHeader {
  uint32_t headerSize;
  uint16_t songLength;
  uint16_t restartPosition;
  uint16_t channelCount;
  uint16_t patternCount;
  uint16_t instrumentCount;
  uint16_t flags;
  uint16_t defaultSpeed;
  uint16_t defaultBpm;
};

XmHeader readHeader(ByteReader& reader) {
  XmHeader header{};
  reader.seekTo(headerSizeOffset);
  header.headerSize = reader.u32();
  header.songLength = reader.u16();
  header.restartPosition = reader.u16();
  header.channelCount = reader.u16();
  header.patternCount = reader.u16();
  header.instrumentCount = reader.u16();
  header.flags = reader.u16();
  header.defaultSpeed = reader.u16();
  header.defaultBpm = reader.u16();
  return header;
}

// Takes the header into the song, normalising what the player could not use: the
// replay code trusts songLength in 1..256, restartPosition below it, at most 32
// channels and a BPM that gives a finite tick.
void storeHeader(XmLoad& load, const XmHeader& header) {
  Song& song = load.song;
  LoadNotes& notes = load.notes;

  int songLength = header.songLength;
  if (songLength < 1 || songLength > maxSongLength) {
    notes.songLengthLimited = true;
    notes.songLengthFromFile = header.songLength;
    songLength = songLength < 1 ? 1 : maxSongLength;
  }
  song.songLength = static_cast<int16_t>(songLength);

  int restartPosition = header.restartPosition;
  if (restartPosition >= songLength) {
    notes.restartPositionReset = true;
    notes.restartPositionFromFile = header.restartPosition;
    restartPosition = 0;
  }
  song.restartPosition = static_cast<int16_t>(restartPosition);

  load.fileChannelCount = header.channelCount;
  int channelCount = header.channelCount;
  if (channelCount > maxStoredChannels) {
    notes.channelsLimited = true;
    notes.channelCountFromFile = header.channelCount;
    channelCount = maxStoredChannels;
  }
  song.channelCount = static_cast<int16_t>(channelCount);

  load.filePatternCount = header.patternCount;
  // Kept signed: a count of 0x8000 or more means no instruments.
  song.instrumentCount = static_cast<int16_t>(header.instrumentCount);
  notes.instrumentCountNegative = song.instrumentCount < 0;
  song.flags = header.flags;
  // A speed of 0 is kept: it makes every tick a row tick.
  song.defaultSpeed = static_cast<int16_t>(header.defaultSpeed);

  song.defaultBpm = static_cast<int16_t>(header.defaultBpm);
  if (song.defaultBpm <= 0) {
    notes.bpmReplaced = true;
    notes.defaultBpmFromFile = song.defaultBpm;
    song.defaultBpm = usualBpm;
  }
}

}  // namespace

bool refuse(XmLoad& load, LoadRefusal why) {
  load.notes.refusal = why;
  return false;
}

Song* loadSong(const char* name, SampleProvider provider) {
  LoadNotes& notes = beginLoadNotes();
  auto* song = static_cast<Song*>(loadAllocation(1, sizeof(Song)));
  if (song == nullptr) {
    notes.refusal = LoadRefusal::OutOfMemory;
    return nullptr;
  }
  SourceHandle* source = openSource(name);
  if (source == nullptr) {
    notes.refusal = LoadRefusal::CannotOpen;
    freeSong(song);
    return nullptr;
  }
  song->sampleProvider = provider;
  bool loaded = loadXmModule(song, source);
  closeSource(source);
  if (!loaded) {
    freeSong(song);
    return nullptr;
  }
  return song;
}

bool loadXmModule(Song* song, SourceHandle* source) {
  ByteReader reader;
  XmLoad load{*song, reader, beginLoadNotes(), 0, 0};
  if (!reader.open(source)) return refuse(load, LoadRefusal::SizeUnknown);

  char id[idLength];
  reader.read(id, idLength);
  if (reader.ranShort() || std::memcmp(id, extendedModuleId, idLength) != 0) {
    return refuse(load, LoadRefusal::NotExtendedModule);
  }
  song->tickHandler = sequencerTick;
  song->defaultGlobalVolume = 64;

  XmHeader header = readHeader(reader);
  if (reader.ranShort()) return refuse(load, LoadRefusal::HeaderCut);
  storeHeader(load, header);
  // All 256 entries are read whatever the song length and header size.
  reader.read(song->orders, sizeof song->orders);
  if (reader.ranShort()) return refuse(load, LoadRefusal::HeaderCut);
  // Small header sizes keep their meaning: the first pattern may overlap the header.
  if (!reader.seekTo(headerSizeOffset + int64_t{header.headerSize}))
    return refuse(load, LoadRefusal::HeaderCut);

  if (!readPatterns(load)) return false;
  return readInstruments(load);
}

}  // namespace vantor
