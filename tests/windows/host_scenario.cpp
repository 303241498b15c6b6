// A Windows program that drives vantor.dll the way a game engine does: it is linked
// against the DLL's import library (modproc and the two error classes come from there),
// creates a real IDirectSound with its cooperative level set, and runs a scenario of
// commands named on the command line.
//
//   vantor_host play SONG.xm       load from file, play with each option, volume,
//                                  stop, play again, load from memory while playing;
//                                  before that, fatal errors caught and the library
//                                  used again from another thread
//   vantor_host errors             exception mode: every fatal message caught as
//                                  pellgameapi::pellerrsexception by reference and by
//                                  value, also from modproc found with GetProcAddress,
//                                  reporterror called by the host, the exported
//                                  members used
//   vantor_host msgbox             message-box mode: the process must end with 69
//   vantor_host overlap SONG.xm    two threads give overlapping commands for 3 s; then
//                                  the song plays from its start
//   vantor_host unload SONG.xm [--emulated]
//                                  200 rounds of load, play, stop, FreeLibrary and
//                                  LoadLibrary; the process must not grow (under
//                                  processor emulation only its heaps are judged)
//   vantor_host selftest DIR       DirectSound alone, without the plug-in: plays a
//                                  known signal and writes it to DIR/selftest-reference.wav
//
// Each phase of sound is announced on stdout as "phase NAME START END" in seconds of
// the system clock, so that run_wine_test.sh can cut the recording of the sound
// card into the same phases. The exit code is 0 when every check passed.
#include "host_scenario.h"

#include <vantor.h>

#include "host_system.h"

using pellgameapi::pellerrs;
using pellgameapi::pellerrsexception;

namespace {

constexpr DWORD sampleRate = 44100;
constexpr DWORD bufferBytes = 353600;  // the plug-in's ring: 88400 frames of 16-bit stereo

int failures = 0;

bool same(const char* first, const char* second) { return strcmp(first, second) == 0; }

// Seconds since 1970 from the system clock, which Wine shares with the machine.
double wallClock() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  unsigned long long ticks = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return static_cast<double>(ticks - 116444736000000000ull) / 1e7;
}

// Lets the sound run for a while and announces the span as a named phase.
void phase(const char* name, DWORD milliseconds) {
  double start = wallClock();
  Sleep(milliseconds);
  printf("phase %s %.3f %.3f\n", name, start, wallClock());
  fflush(nullptr);
}

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
  if (device->CreateSoundBuffer(&description, &buffer, nullptr) < 0 || buffer == nullptr) return;
  void* region;
  DWORD bytes;
  if (buffer->Lock(0, description.dwBufferBytes, &region, &bytes, nullptr, nullptr, 0) >= 0) {
    memset(region, 0, bytes);
    buffer->Unlock(region, bytes, nullptr, 0);
  }
  buffer->Play(0, 0, DSBPLAY_LOOPING);
  Sleep(1500);
  buffer->Stop();
  buffer->Release();
}

IDirectSound* openSound() {
  IDirectSound* device = nullptr;
  HRESULT result = DirectSoundCreate(nullptr, &device, nullptr);
  check(result >= 0 && device != nullptr, "DirectSoundCreate");
  if (device == nullptr) return nullptr;
  result = device->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY);
  check(result >= 0, "SetCooperativeLevel");
  if (result < 0) return nullptr;
  warmUp(device);
  return device;
}

// The whole file in a block from malloc, or null.
char* readFile(const char* path, DWORD& size) {
  HANDLE file = CreateFileA(path, GENERIC_READ, 1, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  size = GetFileSize(file, nullptr);
  char* bytes = static_cast<char*>(malloc(size + 1));
  DWORD read = 0;
  if (bytes != nullptr && (ReadFile(file, bytes, size, &read, nullptr) == 0 || read != size)) {
    free(bytes);
    bytes = nullptr;
  }
  CloseHandle(file);
  return bytes;
}

// What one command did in exception mode: its message and reserved word when it
// threw a pellerrsexception, caught by reference or by value.
struct Outcome {
  enum { returned, caughtByType, caughtOther } how = returned;
  char text[4096] = {};
  unsigned int reserved = 0;
};

void commandByReference(int cmd, void* arg, unsigned int arg2, Outcome& outcome) {
  try {
    modproc(cmd, arg, arg2);
  } catch (pellerrsexception& error) {
    outcome.how = Outcome::caughtByType;
    memcpy(outcome.text, error.text, sizeof outcome.text);
    outcome.reserved = error.reserved;
  } catch (...) {
    outcome.how = Outcome::caughtOther;
  }
}

void commandByValue(int cmd, void* arg, unsigned int arg2, Outcome& outcome) {
  try {
    modproc(cmd, arg, arg2);
  } catch (pellerrsexception error) {
    outcome.how = Outcome::caughtByType;
    memcpy(outcome.text, error.text, sizeof outcome.text);
    outcome.reserved = error.reserved;
  } catch (...) {
    outcome.how = Outcome::caughtOther;
  }
}

void checkOutcome(const Outcome& outcome, int cmd, const char* caughtHow, const char* expected) {
  bool ok = expected == nullptr ? outcome.how == Outcome::returned
                                : outcome.how == Outcome::caughtByType && same(outcome.text, expected) &&
                                      outcome.reserved == 0;
  printf("%s: command %d %s: %s (got %s \"%s\", reserved %u)\n", ok ? "ok" : "FAILED", cmd, caughtHow,
         expected != nullptr ? expected : "returns", outcome.how == Outcome::returned ? "a return" : "a throw",
         outcome.text, outcome.reserved);
  fflush(nullptr);
  if (!ok) ++failures;
}

// The command throws expected, caught by reference and by value with reserved 0; or,
// with no expected text, returns.
void expectFatal(int cmd, void* arg, unsigned int arg2, const char* expected) {
  Outcome byReference;
  commandByReference(cmd, arg, arg2, byReference);
  checkOutcome(byReference, cmd, "by reference", expected);
  Outcome byValue;
  commandByValue(cmd, arg, arg2, byValue);
  checkOutcome(byValue, cmd, "by value", expected);
}

// The fatal error of each command that has one, with no song loaded.
void expectEachFatalError() {
  float volume = 0.5f;
  expectFatal(VANTOR_PLAY, nullptr, 0, "vantor::play; song not yet loaded.");
  expectFatal(VANTOR_STOP, nullptr, 0, "vantor::stop; song not yet loaded.");
  expectFatal(VANTOR_SET_VOLUME, &volume, 0, "vantor::vol; song not yet loaded.");
  char missing[] = "no-such-song.xm";
  expectFatal(VANTOR_LOAD_FILE, missing, 0, "vantor; failed while loading file 'no-such-song.xm'");
  char garbage[64] = "not an extended module";
  expectFatal(VANTOR_LOAD_MEMORY, garbage, sizeof garbage, "vantor; failed while loading file from memory");
}

// A class of the host's own on the exception: reaches the protected default constructor.
struct HostError : pellerrsexception {
  HostError() {}
};

// reporterror called by the host, and the members the host calls itself: the copy
// constructor, both assignments, the destructor and the protected constructor.
void checkReportAndMembers() {
  try {
    pellerrs::reporterror("host %s %d%% %c", "error", 42, 'x');
  } catch (pellerrsexception& error) {
    check(same(error.text, "host error 42% x") && error.reserved == 0, "the host's own reporterror, formatted");
  }

  char* longText = static_cast<char*>(malloc(5001));
  memset(longText, 'm', 5000);
  longText[5000] = 0;
  try {
    pellerrs::reporterror("%s", longText);
  } catch (pellerrsexception error) {
    check(strlen(error.text) == 4095 && memcmp(error.text, longText, 4095) == 0,
          "a 5000-character report is cut at 4095 characters");
  }
  free(longText);

  try {
    pellerrs::reporterror("first");
  } catch (pellerrsexception& first) {
    first.reserved = 7;
    pellerrsexception copy(first);
    check(same(copy.text, "first") && copy.reserved == 0, "the copy constructor copies the text, not reserved");
    try {
      pellerrs::reporterror("second");
    } catch (pellerrsexception second) {
      pellerrsexception& assigned = (second = first);
      check(&assigned == &second && same(second.text, "first") && second.reserved == 7,
            "assignment copies text and reserved and returns the object");
    }
  }

  HostError fresh;
  bool zero = fresh.reserved == 0;
  for (char c : fresh.text) zero = zero && c == 0;
  check(zero, "the protected constructor leaves text and reserved zero");

  pellerrs first, second;
  check(&(first = second) == &first, "pellerrs assignment returns the object");
}

// A host that finds the entry with GetProcAddress, under its plain name, and calls it
// through the header's type: the fatal error reaches its catch clause all the same.
void checkEntryByPlainName() {
  void* found = GetProcAddress(GetModuleHandleA("vantor.dll"), "modproc");
  auto entry = reinterpret_cast<vantor_modproc_fn>(found);
  bool caught = false;
  try {
    if (entry != nullptr) entry(VANTOR_STOP, nullptr, 0);
  } catch (pellerrsexception& error) {
    caught = same(error.text, "vantor::stop; song not yet loaded.");
  }
  check(caught, "modproc found with GetProcAddress throws the fatal error to the host");
}

int runErrors() {
  modproc(VANTOR_SET_EXCEPTION_MODE, nullptr, VANTOR_EXCEPTION_MODE);
  expectEachFatalError();
  checkEntryByPlainName();
  expectFatal(7, nullptr, 0, nullptr);
  expectFatal(-1, nullptr, 0, nullptr);
  checkReportAndMembers();
  checkMemberConventions();
  return failures == 0 ? 0 : 1;
}

int runMessageBox() {
  char caption[] = "vantor host";
  modproc(VANTOR_SET_CAPTION, caption, 0);
  modproc(VANTOR_SET_EXCEPTION_MODE, nullptr, VANTOR_EXCEPTION_MODE);
  modproc(VANTOR_SET_EXCEPTION_MODE, nullptr, VANTOR_MESSAGE_BOX_MODE);
  modproc(VANTOR_STOP, nullptr, 0);  // no song: the box, then the end of the process with 69
  printf("FAILED: modproc returned from a fatal error in message-box mode\n");
  return 1;
}

// A caption longer than the caption buffer, so that storing it takes the library's
// text lock to grow the buffer.
char longCaption[301];

DWORD __stdcall setLongCaption(void*) {
  modproc(VANTOR_SET_CAPTION, longCaption, 0);
  return 0;
}

// A fatal error leaves the library through frames that, for some hosts, are passed
// without running their destructors; afterwards a command from another thread must
// still get the text lock, and the song must load and play.
void checkUsableAfterFatalErrors() {
  modproc(VANTOR_SET_EXCEPTION_MODE, nullptr, VANTOR_EXCEPTION_MODE);
  expectEachFatalError();
  memset(longCaption, 'c', sizeof longCaption - 1);
  HANDLE thread = CreateThread(nullptr, 0, setLongCaption, nullptr, 0, nullptr);
  check(thread != nullptr && WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0,
        "after the caught fatal errors another thread sets a long caption");
  if (thread != nullptr) CloseHandle(thread);
}

// Command 2 with the song's name, from a buffer of the host's own as a game passes it.
void loadSongFile(const char* songPath) {
  char name[260] = {};
  memcpy(name, songPath, strlen(songPath) < sizeof name ? strlen(songPath) : sizeof name - 1);
  modproc(VANTOR_LOAD_FILE, name, 0);
}

int runPlay(const char* songPath) {
  checkUsableAfterFatalErrors();
  IDirectSound* device = openSound();
  if (device == nullptr) return 1;

  char caption[] = "vantor host";
  modproc(VANTOR_SET_CAPTION, caption, 0);
  try {
    loadSongFile(songPath);

    // Neither option: no volume control, full level from the start.
    modproc(VANTOR_PLAY, device, 0);
    phase("full", 5000);
    modproc(VANTOR_STOP, nullptr, 0);
    phase("stopped", 1500);

    // Global focus only, then both options: played again from the start.
    modproc(VANTOR_PLAY, device, VANTOR_GLOBAL_FOCUS);
    phase("focus", 2000);
    modproc(VANTOR_PLAY, device, VANTOR_GLOBAL_FOCUS | VANTOR_VOLUME_CONTROL);
    float volume = 1.0f;
    modproc(VANTOR_SET_VOLUME, &volume, 0);
    phase("restart", 3000);
    volume = 0.5f;
    modproc(VANTOR_SET_VOLUME, &volume, 0);
    phase("half", 2000);

    // Load from memory while playing: the playing song stops, the new one waits.
    DWORD size = 0;
    char* bytes = readFile(songPath, size);
    check(bytes != nullptr && size > 0, "song file read for the memory load");
    modproc(VANTOR_LOAD_MEMORY, bytes, size);
    if (bytes != nullptr) memset(bytes, 0, size);  // the library must not read the block any more
    free(bytes);
    phase("reloaded", 1500);

    // Volume control only: silent until the volume is given.
    modproc(VANTOR_PLAY, device, VANTOR_VOLUME_CONTROL);
    phase("silent", 1500);
    volume = 1.0f;
    modproc(VANTOR_SET_VOLUME, &volume, 0);
    phase("memory", 3000);
    modproc(VANTOR_STOP, nullptr, 0);
    phase("end", 1000);
  } catch (pellerrsexception& error) {
    printf("FAILED: a fatal error while playing: %s\n", error.text);
    ++failures;
  }
  device->Release();
  return failures == 0 ? 0 : 1;
}

// Two host threads giving commands at once, as an engine that loads music on a loading
// thread while its main thread stops the old song does by accident. Each command's
// outcome must be one it can have when it runs alone at some point between the other
// thread's commands: a return, or one of the messages it may report. Every play asks
// for volume control and every volume is 0, so nothing is heard until the last play.
struct OverlapStep {
  int cmd;
  bool mayReturn;
  const char* message;  // a fatal message it may end with; null: none
};

struct OverlapThread {
  const OverlapStep* steps;
  int stepCount;
  IDirectSound* device;
  const char* songPath;
  const char* block;
  DWORD blockSize;
  DWORD until;  // GetTickCount at which the thread stops
  int commands = 0;
  int wrong = 0;
  char firstWrong[200] = {};
};

DWORD __stdcall giveOverlappingCommands(void* parameter) {
  auto* thread = static_cast<OverlapThread*>(parameter);
  char missing[] = "no-such-song.xm";
  float silence = 0.0f;
  while (static_cast<int>(GetTickCount() - thread->until) < 0) {
    for (int i = 0; i < thread->stepCount; ++i) {
      const OverlapStep& step = thread->steps[i];
      void* arg = nullptr;
      unsigned int arg2 = 0;
      switch (step.cmd) {
        case VANTOR_LOAD_FILE: arg = step.message != nullptr ? missing : const_cast<char*>(thread->songPath); break;
        case VANTOR_LOAD_MEMORY: arg = const_cast<char*>(thread->block), arg2 = thread->blockSize; break;
        case VANTOR_PLAY: arg = thread->device, arg2 = VANTOR_VOLUME_CONTROL; break;
        case VANTOR_SET_VOLUME: arg = &silence; break;
        default: break;
      }
      Outcome outcome;
      commandByReference(step.cmd, arg, arg2, outcome);
      ++thread->commands;
      bool ok = outcome.how == Outcome::returned
                    ? step.mayReturn
                    : outcome.how == Outcome::caughtByType && step.message != nullptr &&
                          same(outcome.text, step.message) && outcome.reserved == 0;
      if (!ok && thread->wrong++ == 0) {
        size_t length = strlen(outcome.text) < 150 ? strlen(outcome.text) : 150;
        memcpy(thread->firstWrong, outcome.text, length);
      }
    }
  }
  return 0;
}

int runOverlap(const char* songPath) {
  modproc(VANTOR_SET_EXCEPTION_MODE, nullptr, VANTOR_EXCEPTION_MODE);
  IDirectSound* device = openSound();
  if (device == nullptr) return 1;
  DWORD size = 0;
  char* block = readFile(songPath, size);
  check(block != nullptr && size > 0, "song file read for the memory loads");

  // A loading thread: a song from memory, then a file that fails (a fatal error caught
  // while the other thread plays) and leaves no song.
  static const OverlapStep loading[] = {
      {VANTOR_LOAD_MEMORY, true, nullptr},
      {VANTOR_SET_VOLUME, true, "vantor::vol; song not yet loaded."},
      {VANTOR_LOAD_FILE, false, "vantor; failed while loading file 'no-such-song.xm'"},
      {VANTOR_LOAD_FILE, true, nullptr},
      {VANTOR_PLAY, true, "vantor::play; song not yet loaded."},
  };
  // The main thread: plays what is loaded, sets the volume, plays again while playing
  // and stops.
  static const OverlapStep playing[] = {
      {VANTOR_PLAY, true, "vantor::play; song not yet loaded."},
      {VANTOR_SET_VOLUME, true, "vantor::vol; song not yet loaded."},
      {VANTOR_PLAY, true, "vantor::play; song not yet loaded."},
      {VANTOR_STOP, true, "vantor::stop; song not yet loaded."},
      {7, true, nullptr},
  };
  const DWORD until = GetTickCount() + 3000;
  OverlapThread threads[2] = {{loading, 5, device, songPath, block, size, until},
                              {playing, 5, device, songPath, block, size, until}};
  HANDLE handles[2];
  for (int i = 0; i < 2; ++i) handles[i] = CreateThread(nullptr, 0, giveOverlappingCommands, &threads[i], 0, nullptr);
  bool ended = true;
  for (HANDLE handle : handles) {
    ended = handle != nullptr && WaitForSingleObject(handle, 60000) == WAIT_OBJECT_0 && ended;
  }
  check(ended, "two threads giving overlapping commands for 3 s end (no hang)");
  for (const OverlapThread& thread : threads) {
    printf("%s: %d overlapping commands, %d with an outcome they cannot have alone%s%s\n",
           thread.wrong == 0 ? "ok" : "FAILED", thread.commands, thread.wrong,
           thread.wrong != 0 ? ", the first: " : "", thread.firstWrong);
    if (thread.wrong != 0 || thread.commands == 0) ++failures;
  }
  fflush(nullptr);
  free(block);
  if (!ended) return 1;  // a thread still runs in the library
  for (HANDLE handle : handles) CloseHandle(handle);

  // Afterwards the library plays as before: the last play is heard from its start.
  try {
    loadSongFile(songPath);
    modproc(VANTOR_PLAY, device, 0);
    phase("full", 5000);
    modproc(VANTOR_STOP, nullptr, 0);
    phase("end", 1000);
  } catch (pellerrsexception& error) {
    printf("FAILED: a fatal error after the overlapping commands: %s\n", error.text);
    ++failures;
  }
  device->Release();
  return failures == 0 ? 0 : 1;
}

using Entry = void (*)(int cmd, void* arg, unsigned int arg2);

// The process's private bytes, its commit charge: Windows gives the same number as
// PagefileUsage and as PrivateUsage, Wine fills only PagefileUsage.
size_t privateBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters = {};
  counters.cb = sizeof counters;
  return K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters) != 0 ? counters.PagefileUsage : 0;
}

// The bytes in use in every heap of the process (the C run-time's among them). Unlike
// the private bytes, they do not count what an emulator running the process keeps for
// itself, such as its translations of each newly loaded copy of the DLL's code.
size_t heapBytesInUse() {
  HANDLE heaps[64];
  DWORD count = GetProcessHeaps(64, heaps);
  size_t inUse = 0;
  for (DWORD i = 0; i < count && i < 64; ++i) {
    PROCESS_HEAP_ENTRY entry = {};
    HeapLock(heaps[i]);
    while (HeapWalk(heaps[i], &entry) != 0) {
      if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) inUse += entry.cbData;
    }
    HeapUnlock(heaps[i]);
  }
  return inUse;
}

// An engine that unloads its plug-ins between levels: rounds of load, play, stop,
// FreeLibrary and LoadLibrary of a copy of the DLL (the host's own import keeps
// vantor.dll itself loaded). Unloading frees the song and whatever the DLL set up, so
// neither the heaps nor the private bytes grow; under processor emulation only the heaps
// are judged. Unloaded against the rules while it plays, the library stays loaded and
// playing until it is opened again and stopped.
int runUnload(const char* songPath, bool emulated) {
  IDirectSound* device = openSound();
  if (device == nullptr) return 1;
  DWORD size = 0;
  char* block = readFile(songPath, size);
  check(block != nullptr && size > 0, "song file read for the memory loads");
  const char* copy = "vantor-unloaded.dll";
  check(CopyFileA("vantor.dll", copy, 0) != 0, "a copy of the DLL made to be unloaded");

  constexpr int rounds = 200;
  size_t afterFirst = 0, heapAfterFirst = 0;
  bool entered = true;
  for (int round = 0; round < rounds && entered; ++round) {
    HANDLE library = LoadLibraryA(copy);
    auto entry = reinterpret_cast<Entry>(GetProcAddress(library, "modproc"));
    entered = library != nullptr && entry != nullptr;
    if (!entered) break;
    entry(VANTOR_LOAD_MEMORY, block, size);
    entry(VANTOR_PLAY, device, VANTOR_VOLUME_CONTROL);
    entry(VANTOR_STOP, nullptr, 0);
    FreeLibrary(library);
    entered = GetModuleHandleA(copy) == nullptr;
    if (round == 0) {
      afterFirst = privateBytes();
      heapAfterFirst = heapBytesInUse();
    }
  }
  check(entered, "each round loads the DLL afresh and unloads it");
  const size_t afterAll = privateBytes(), heapAfterAll = heapBytesInUse();
  const long long grown = static_cast<long long>(afterAll) - static_cast<long long>(afterFirst);
  const bool privateOk = grown <= 1048576 && afterFirst != 0;
  printf("%s: private bytes after the first round %llu, after %d rounds %llu: %+lld bytes (at most 1 MiB%s)\n",
         privateOk ? "ok" : emulated ? "not judged" : "FAILED", static_cast<unsigned long long>(afterFirst), rounds,
         static_cast<unsigned long long>(afterAll), grown, emulated ? "; emulated, not judged" : "");
  if (!privateOk && !emulated) ++failures;
  // A leak of a single small block per round shows here (the library's own are a song,
  // 73 KB of the C++ runtime, 1.5 KB per feeder thread); Wine's own bookkeeping moves by
  // a few bytes.
  const long long heapGrown = static_cast<long long>(heapAfterAll) - static_cast<long long>(heapAfterFirst);
  printf("%s: heap bytes in use after the first round %llu, after %d rounds %llu: %+lld bytes (at most 64 KiB)\n",
         heapGrown <= 65536 ? "ok" : "FAILED", static_cast<unsigned long long>(heapAfterFirst), rounds,
         static_cast<unsigned long long>(heapAfterAll), heapGrown);
  if (heapGrown > 65536) ++failures;

  HANDLE library = LoadLibraryA(copy);
  auto entry = reinterpret_cast<Entry>(GetProcAddress(library, "modproc"));
  if (entry != nullptr) {
    entry(VANTOR_LOAD_MEMORY, block, size);
    entry(VANTOR_PLAY, device, VANTOR_VOLUME_CONTROL);
    FreeLibrary(library);
    check(GetModuleHandleA(copy) != nullptr, "unloaded while playing, the library stays loaded");
    library = LoadLibraryA(copy);
    entry = reinterpret_cast<Entry>(GetProcAddress(library, "modproc"));
    if (entry != nullptr) entry(VANTOR_STOP, nullptr, 0);
    FreeLibrary(library);
    check(GetModuleHandleA(copy) == nullptr, "opened again and stopped, it unloads");
  }
  free(block);
  device->Release();
  return failures == 0 ? 0 : 1;
}

// A known, non-repeating test signal: noise shaped by a slow triangle sweep, so that
// its cross-correlation has one sharp peak.
short testSignal(unsigned int frame, int channel) {
  unsigned int state = frame * 2654435761u + static_cast<unsigned int>(channel) * 40503u;
  state ^= state >> 15;
  state *= 2246822519u;
  state ^= state >> 13;
  double noise = (static_cast<int>(state & 0xffff) - 32768) / 32768.0;
  double t = static_cast<double>(frame) / sampleRate;
  double cycles = (200 + 300 * t) * t;
  double position = cycles - static_cast<double>(static_cast<long long>(cycles));  // 0 .. 1
  double sweep = position < 0.5 ? 4 * position - 1 : 3 - 4 * position;
  return static_cast<short>(9000 * (0.5 * noise + 0.5 * sweep));
}

bool writeWav(const char* path, const short* samples, DWORD sampleCount) {
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD dataBytes = sampleCount * 2;
  unsigned char header[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 2, 0};
  auto put32 = [&](int at, DWORD value) {
    for (int i = 0; i < 4; ++i) header[at + i] = static_cast<unsigned char>(value >> (8 * i));
  };
  put32(4, 36 + dataBytes);
  put32(24, sampleRate);
  put32(28, sampleRate * 4);
  header[32] = 4;
  header[34] = 16;
  memcpy(header + 36, "data", 4);
  put32(40, dataBytes);
  DWORD written = 0, dataWritten = 0;
  bool ok = WriteFile(file, header, sizeof header, &written, nullptr) != 0 && written == sizeof header &&
            WriteFile(file, samples, dataBytes, &dataWritten, nullptr) != 0 && dataWritten == dataBytes;
  return CloseHandle(file) != 0 && ok;
}

// Plays the test signal through a secondary buffer like the plug-in's (same format,
// size and flags), refilled from this thread behind the play cursor.
int runSelfTest(const char* outputDir) {
  IDirectSound* device = openSound();
  if (device == nullptr) return 1;

  WAVEFORMATEX format = pcmFormat();
  DSBUFFERDESC description = {};
  description.dwSize = sizeof description;
  description.dwFlags = DSBCAPS_LOCSOFTWARE | DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_CTRLVOLUME;
  description.dwBufferBytes = bufferBytes;
  description.lpwfxFormat = &format;
  IDirectSoundBuffer* buffer = nullptr;
  HRESULT result = device->CreateSoundBuffer(&description, &buffer, nullptr);
  check(result >= 0 && buffer != nullptr, "CreateSoundBuffer");
  if (buffer == nullptr) return 1;

  // The reference: the first seconds of the signal, as they are meant to be heard.
  constexpr DWORD referenceFrames = 6 * sampleRate;
  short* reference = static_cast<short*>(malloc(referenceFrames * 2 * sizeof(short)));
  for (DWORD frame = 0; frame < referenceFrames; ++frame)
    for (int channel = 0; channel < 2; ++channel) reference[frame * 2 + channel] = testSignal(frame, channel);
  char path[600] = {};
  DWORD directoryLength = strlen(outputDir) < 500 ? strlen(outputDir) : 500;
  memcpy(path, outputDir, directoryLength);
  memcpy(path + directoryLength, "\\selftest-reference.wav", sizeof "\\selftest-reference.wav");
  check(writeWav(path, reference, referenceFrames * 2), "reference written");
  free(reference);

  unsigned int written = 0;  // frames of the signal written into the ring so far
  auto fillRegion = [&](void* region, DWORD size) {
    short* out = static_cast<short*>(region);
    for (DWORD i = 0; region != nullptr && i < size / 4; ++i, ++written) {
      out[2 * i] = testSignal(written, 0);
      out[2 * i + 1] = testSignal(written, 1);
    }
  };
  auto fill = [&](DWORD offset, DWORD bytes) {
    void* first;
    DWORD firstBytes;
    void* second;
    DWORD secondBytes;
    if (buffer->Lock(offset, bytes, &first, &firstBytes, &second, &secondBytes, 0) < 0) return;
    fillRegion(first, firstBytes);
    fillRegion(second, secondBytes);
    buffer->Unlock(first, firstBytes, second, secondBytes);
  };
  fill(0, bufferBytes);
  DWORD writeOffset = 0;  // the ring is full up to here (modulo its size)

  DWORD cursorBefore = 0;
  buffer->GetCurrentPosition(&cursorBefore, nullptr);
  result = buffer->Play(0, 0, DSBPLAY_LOOPING);
  check(result >= 0, "Play");
  double start = wallClock();

  // Refill what the cursor has left, until the whole signal has been heard once.
  auto keepFed = [&](DWORD milliseconds) {
    DWORD until = GetTickCount() + milliseconds;
    while (static_cast<int>(GetTickCount() - until) < 0) {
      DWORD cursor = 0;
      buffer->GetCurrentPosition(&cursor, nullptr);
      cursor -= cursor % 4;
      DWORD vacant = (cursor + bufferBytes - writeOffset) % bufferBytes;
      if (vacant > 0) {
        fill(writeOffset, vacant);
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
  printf("phase full %.3f %.3f\n", start, wallClock());
  double halfStart = wallClock();
  buffer->SetVolume(-5000);  // what volume 0.5 maps to
  keepFed(2000);
  printf("phase half %.3f %.3f\n", halfStart, wallClock());
  buffer->Stop();
  phase("stopped", 1500);
  buffer->Release();
  device->Release();
  return failures == 0 ? 0 : 1;
}

}  // namespace

void check(bool ok, const char* what) {
  printf("%s: %s\n", ok ? "ok" : "FAILED", what);
  fflush(nullptr);
  if (!ok) ++failures;
}

int runHost(int argc, char** argv) {
  const char* scenario = argc > 1 ? argv[1] : "";
  if (same(scenario, "play") && argc > 2) return runPlay(argv[2]);
  if (same(scenario, "errors")) return runErrors();
  if (same(scenario, "msgbox")) return runMessageBox();
  if (same(scenario, "overlap") && argc > 2) return runOverlap(argv[2]);
  if (same(scenario, "unload") && argc > 2) return runUnload(argv[2], argc > 3 && same(argv[3], "--emulated"));
  if (same(scenario, "selftest") && argc > 2) return runSelfTest(argv[2]);
  printf("usage: vantor_host play SONG.xm | overlap SONG.xm | unload SONG.xm [--emulated] | errors | msgbox |"
         " selftest DIR\n");
  return 2;
}
