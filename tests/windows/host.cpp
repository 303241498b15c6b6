// A Windows program that drives vantor.dll the way a game engine does (built 32-bit
// like the plug-in, or 64-bit with its 64-bit build):
// LoadLibrary, GetProcAddress("modproc"), a real IDirectSound with its cooperative
// level set, then a scenario of modproc commands named on the command line.
//
//   vantor_host play SONG.xm       load from file, play with each option, volume,
//                                  stop, play again, load from memory while playing
//   vantor_host errors             exception mode: every fatal message caught as
//                                  pellgameapi::pellerrsexception
//   vantor_host msgbox             message-box mode: the process must end with 69
//   vantor_host selftest DIR       DirectSound alone, without the plug-in: plays a
//                                  known signal and writes it to DIR/selftest-reference.wav
//
// Each phase of sound is announced on stdout as "phase NAME START END" in seconds of
// the system clock, so that run_wine_test.sh can cut the recording of the sound
// card into the same phases. The exit code is 0 when every check passed.
#include <dsound.h>
#include <windows.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#if __has_include("framework/pellerrs.h")
#include "framework/pellerrs.h"
#else
// The library's exported exception class, as the host is built against it.
namespace pellgameapi {
class __declspec(dllimport) pellerrsexception {
 public:
  char text[4096];
  uint32_t reserved;
  pellerrsexception(pellerrsexception& other);
  pellerrsexception& operator=(const pellerrsexception& other);
  ~pellerrsexception();

 protected:
  pellerrsexception();
};
}  // namespace pellgameapi
#endif

namespace {

using ModProc = void (*)(int cmd, void* arg, uint32_t arg2);

constexpr int sampleRate = 44100;
constexpr DWORD bufferBytes = 353600;  // the plug-in's ring: 88400 frames of 16-bit stereo

int failures = 0;

void check(bool ok, const char* what) {
  std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
  std::fflush(stdout);
  if (!ok) ++failures;
}

// Seconds since 1970 from the system clock, which Wine shares with the machine.
double wallClock() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  uint64_t ticks = (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
  return static_cast<double>(ticks - 116444736000000000ull) / 1e7;
}

// Lets the sound run for a while and announces the span as a named phase.
void phase(const char* name, DWORD milliseconds) {
  double start = wallClock();
  Sleep(milliseconds);
  std::printf("phase %s %.3f %.3f\n", name, start, wallClock());
  std::fflush(stdout);
}

struct Sound {
  IDirectSound* device = nullptr;
  HWND window = nullptr;
};

WAVEFORMATEX pcmFormat() {
  WAVEFORMATEX format = {};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 2;
  format.nSamplesPerSec = sampleRate;
  format.nAvgBytesPerSec = sampleRate * 4;
  format.nBlockAlign = 4;
  format.wBitsPerSample = 16;
  return format;
}

// Plays a second of silence through a buffer of the host's own. The first buffer a
// process plays starts the sound device, and under Wine that start may lose a second
// of sound or more (the play cursor runs on while the device comes up); an engine has
// played other sounds long before its music, and so the checks begin after this.
void warmUp(IDirectSound* device) {
  WAVEFORMATEX format = pcmFormat();
  DSBUFFERDESC description = {};
  description.dwSize = sizeof description;
  description.dwFlags = DSBCAPS_LOCSOFTWARE | DSBCAPS_GETCURRENTPOSITION2;
  description.dwBufferBytes = format.nAvgBytesPerSec;
  description.lpwfxFormat = &format;
  IDirectSoundBuffer* buffer = nullptr;
  if (FAILED(device->CreateSoundBuffer(&description, &buffer, nullptr)) || buffer == nullptr) return;
  void* region;
  DWORD bytes;
  if (SUCCEEDED(buffer->Lock(0, description.dwBufferBytes, &region, &bytes, nullptr, nullptr, 0))) {
    std::memset(region, 0, bytes);
    buffer->Unlock(region, bytes, nullptr, 0);
  }
  buffer->Play(0, 0, DSBPLAY_LOOPING);
  Sleep(1500);
  buffer->Stop();
  buffer->Release();
}

bool openSound(Sound& sound) {
  HRESULT result = DirectSoundCreate(nullptr, &sound.device, nullptr);
  check(SUCCEEDED(result) && sound.device != nullptr, "DirectSoundCreate");
  if (sound.device == nullptr) return false;
  sound.window = GetDesktopWindow();
  result = sound.device->SetCooperativeLevel(sound.window, DSSCL_PRIORITY);
  check(SUCCEEDED(result), "SetCooperativeLevel");
  if (FAILED(result)) return false;
  warmUp(sound.device);
  return true;
}

ModProc loadPlugin(HMODULE& module) {
  module = LoadLibraryA("vantor.dll");
  check(module != nullptr, "LoadLibrary vantor.dll");
  if (module == nullptr) return nullptr;
  auto entry = reinterpret_cast<ModProc>(reinterpret_cast<void*>(GetProcAddress(module, "modproc")));
  check(entry != nullptr, "GetProcAddress modproc");
  return entry;
}

std::vector<char> readFile(const char* path) {
  std::vector<char> bytes;
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return bytes;
  char chunk[65536];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
  std::fclose(file);
  return bytes;
}

// Runs one command in exception mode and returns the message it threw, or
// "(nothing)" when it returned normally.
std::string commandMessage(ModProc modproc, int cmd, void* arg, uint32_t arg2) {
  try {
    modproc(cmd, arg, arg2);
  } catch (pellgameapi::pellerrsexception& error) {
    check(error.reserved == 0, "a new exception has reserved 0");
    return error.text;
  } catch (...) {
    return "(another exception)";
  }
  return "(nothing)";
}

void expectMessage(ModProc modproc, int cmd, void* arg, uint32_t arg2, const char* expected) {
  std::string message = commandMessage(modproc, cmd, arg, arg2);
  std::string what =
      "command " + std::to_string(cmd) + " gives \"" + expected + "\" (got \"" + message + "\")";
  check(message == expected, what.c_str());
}

int runPlay(const char* songPath) {
  Sound sound;
  if (!openSound(sound)) return 1;
  HMODULE module;
  ModProc modproc = loadPlugin(module);
  if (modproc == nullptr) return 1;

  char caption[] = "vantor host";
  modproc(0, caption, 0);
  modproc(1, nullptr, 1);  // exception mode: a failure here must not end the process silently
  try {
    char name[MAX_PATH];
    std::snprintf(name, sizeof name, "%s", songPath);
    modproc(2, name, 0);

    // Neither option: no volume control, full level from the start.
    modproc(4, sound.device, 0);
    phase("full", 5000);
    modproc(5, nullptr, 0);
    phase("stopped", 1500);

    // Global focus only, then both options: played again from the start.
    modproc(4, sound.device, 1);
    phase("focus", 2000);
    modproc(4, sound.device, 3);
    float volume = 1.0f;
    modproc(6, &volume, 0);
    phase("restart", 3000);
    volume = 0.5f;
    modproc(6, &volume, 0);
    phase("half", 2000);

    // Load from memory while playing: the playing song stops, the new one waits.
    std::vector<char> bytes = readFile(songPath);
    check(!bytes.empty(), "song file read for the memory load");
    modproc(3, bytes.data(), static_cast<uint32_t>(bytes.size()));
    bytes.assign(bytes.size(), 0);  // the library must not read the block any more
    phase("reloaded", 1500);

    // Volume control only: silent until the volume is given.
    modproc(4, sound.device, 2);
    phase("silent", 1500);
    volume = 1.0f;
    modproc(6, &volume, 0);
    phase("memory", 3000);
    modproc(5, nullptr, 0);
    phase("end", 1000);
  } catch (pellgameapi::pellerrsexception& error) {
    check(false, (std::string("no fatal error while playing: ") + error.text).c_str());
  }
  sound.device->Release();
  return failures == 0 ? 0 : 1;
}

int runErrors() {
  HMODULE module;
  ModProc modproc = loadPlugin(module);
  if (modproc == nullptr) return 1;
  modproc(1, nullptr, 1);
  float volume = 0.5f;
  expectMessage(modproc, 4, nullptr, 0, "vantor::play; song not yet loaded.");
  expectMessage(modproc, 5, nullptr, 0, "vantor::stop; song not yet loaded.");
  expectMessage(modproc, 6, &volume, 0, "vantor::vol; song not yet loaded.");
  char missing[] = "no-such-song.xm";
  expectMessage(modproc, 2, missing, 0, "vantor; failed while loading file 'no-such-song.xm'");
  char garbage[64] = "not an extended module";
  expectMessage(modproc, 3, garbage, sizeof garbage, "vantor; failed while loading file from memory");
  expectMessage(modproc, 7, nullptr, 0, "(nothing)");
  expectMessage(modproc, -1, nullptr, 0, "(nothing)");
  return failures == 0 ? 0 : 1;
}

int runMessageBox() {
  HMODULE module;
  ModProc modproc = loadPlugin(module);
  if (modproc == nullptr) return 1;
  char caption[] = "vantor host";
  modproc(0, caption, 0);
  modproc(1, nullptr, 1);
  modproc(1, nullptr, 0);  // back to message-box mode
  modproc(5, nullptr, 0);  // no song: the box, then the end of the process with 69
  std::printf("FAILED: modproc returned from a fatal error in message-box mode\n");
  return 1;
}

// A known, non-repeating test signal: noise shaped by a slow sweep, so that its
// cross-correlation has one sharp peak.
int16_t testSignal(uint32_t frame, int channel) {
  uint32_t state = frame * 2654435761u + static_cast<uint32_t>(channel) * 40503u;
  state ^= state >> 15;
  state *= 2246822519u;
  state ^= state >> 13;
  double noise = (static_cast<int>(state & 0xffff) - 32768) / 32768.0;
  double t = static_cast<double>(frame) / sampleRate;
  double sweep = std::sin(2 * 3.14159265358979 * (200 + 300 * t) * t);
  return static_cast<int16_t>(9000 * (0.5 * noise + 0.5 * sweep));
}

bool writeWav(const std::string& path, const std::vector<int16_t>& samples) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
  auto put32 = [&](uint32_t v) { std::fwrite(&v, 4, 1, file); };
  auto put16 = [&](uint16_t v) { std::fwrite(&v, 2, 1, file); };
  std::fwrite("RIFF", 1, 4, file);
  put32(36 + dataBytes);
  std::fwrite("WAVEfmt ", 1, 8, file);
  put32(16);
  put16(1);
  put16(2);
  put32(sampleRate);
  put32(sampleRate * 4);
  put16(4);
  put16(16);
  std::fwrite("data", 1, 4, file);
  put32(dataBytes);
  std::fwrite(samples.data(), 2, samples.size(), file);
  return std::fclose(file) == 0;
}

// Plays the test signal through a secondary buffer like the plug-in's (same format,
// size and flags), refilled from this thread behind the play cursor.
int runSelfTest(const char* outputDir) {
  Sound sound;
  if (!openSound(sound)) return 1;

  WAVEFORMATEX format = pcmFormat();
  DSBUFFERDESC description = {};
  description.dwSize = sizeof description;
  description.dwFlags = DSBCAPS_LOCSOFTWARE | DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_CTRLVOLUME;
  description.dwBufferBytes = bufferBytes;
  description.lpwfxFormat = &format;
  IDirectSoundBuffer* buffer = nullptr;
  HRESULT result = sound.device->CreateSoundBuffer(&description, &buffer, nullptr);
  check(SUCCEEDED(result) && buffer != nullptr, "CreateSoundBuffer");
  if (buffer == nullptr) return 1;

  // The reference: the first seconds of the signal, as they are meant to be heard.
  constexpr uint32_t referenceFrames = 6 * sampleRate;
  std::vector<int16_t> reference(referenceFrames * 2);
  for (uint32_t frame = 0; frame < referenceFrames; ++frame)
    for (int channel = 0; channel < 2; ++channel) reference[frame * 2 + channel] = testSignal(frame, channel);
  check(writeWav(std::string(outputDir) + "\\selftest-reference.wav", reference), "reference written");

  uint32_t written = 0;  // frames of the signal written into the ring so far
  auto fill = [&](DWORD offset, DWORD bytes) {
    void* first;
    DWORD firstBytes;
    void* second;
    DWORD secondBytes;
    if (FAILED(buffer->Lock(offset, bytes, &first, &firstBytes, &second, &secondBytes, 0))) return;
    for (auto [region, size] : {std::pair{first, firstBytes}, std::pair{second, secondBytes}}) {
      auto* out = static_cast<int16_t*>(region);
      for (DWORD i = 0; region != nullptr && i < size / 4; ++i, ++written) {
        out[2 * i] = testSignal(written, 0);
        out[2 * i + 1] = testSignal(written, 1);
      }
    }
    buffer->Unlock(first, firstBytes, second, secondBytes);
  };
  fill(0, bufferBytes);
  DWORD writeOffset = 0;  // the ring is full up to here (modulo its size)

  DWORD cursorBefore = 0;
  buffer->GetCurrentPosition(&cursorBefore, nullptr);
  result = buffer->Play(0, 0, DSBPLAY_LOOPING);
  check(SUCCEEDED(result), "Play");
  double start = wallClock();

  // Refill what the cursor has left, until the whole signal has been heard once.
  auto keepFed = [&](DWORD milliseconds) {
    DWORD until = GetTickCount() + milliseconds;
    while (static_cast<int32_t>(GetTickCount() - until) < 0) {
      DWORD cursor = 0;
      buffer->GetCurrentPosition(&cursor, nullptr);
      cursor -= cursor % 4;
      DWORD free = (cursor + bufferBytes - writeOffset) % bufferBytes;
      if (free > 0) {
        fill(writeOffset, free);
        writeOffset = cursor;
      }
      Sleep(5);
    }
  };
  keepFed(300);
  DWORD cursorAfter = 0;
  buffer->GetCurrentPosition(&cursorAfter, nullptr);
  check(cursorAfter != cursorBefore, "the play cursor moves");
  keepFed(4700);
  std::printf("phase full %.3f %.3f\n", start, wallClock());
  double halfStart = wallClock();
  buffer->SetVolume(-5000);  // what volume 0.5 maps to
  keepFed(2000);
  std::printf("phase half %.3f %.3f\n", halfStart, wallClock());
  buffer->Stop();
  phase("stopped", 1500);
  buffer->Release();
  sound.device->Release();
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string scenario = argc > 1 ? argv[1] : "";
  if (scenario == "play" && argc > 2) return runPlay(argv[2]);
  if (scenario == "errors") return runErrors();
  if (scenario == "msgbox") return runMessageBox();
  if (scenario == "selftest" && argc > 2) return runSelfTest(argv[2]);
  std::fprintf(stderr, "usage: vantor_host play SONG.xm | errors | msgbox | selftest DIR\n");
  return 2;
}
