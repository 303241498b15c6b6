// The Windows latency host: a small game as far as the plug-in can tell. It loads
// vantor.dll from its own folder with LoadLibrary and finds modproc with
// GetProcAddress, so either build of the DLL will do; it opens DirectSound on the
// desktop window and runs the rounds of latency_rounds.h on each song, timing every
// command with the performance counter, and the part of it spent inside DirectSound's
// calls (timed_direct_sound.h). `vantor_bench --latency-table` turns what it prints
// into tables.
//
//   latency_host ROUNDS SONG.xm...
//   latency_host ROUNDS --threads      what the system's threads cost, without the plug-in
#include <dsound.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "../latency_rounds.h"
#include "timed_direct_sound.h"

namespace {

using ModprocEntry = void(__cdecl*)(int cmd, void* arg, unsigned arg2);

class WindowsHost {
 public:
  WindowsHost(ModprocEntry modproc, IDirectSound* device, const vantor::bench::Stopwatch& stopwatch,
              const char* path, std::vector<unsigned char> bytes)
      : modproc_(modproc), device_(device), stopwatch_(stopwatch), path_(path), bytes_(std::move(bytes)) {}

  void command(int cmd, void* arg, unsigned arg2) { modproc_(cmd, arg, arg2); }
  double milliseconds() const { return stopwatch_.milliseconds(); }
  double directSoundMilliseconds() const { return stopwatch_.total(); }
  void pause(int milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); }
  void* device() { return device_; }
  const char* songPath() const { return path_.c_str(); }
  const void* songBytes() const { return bytes_.data(); }
  unsigned songSize() const { return static_cast<unsigned>(bytes_.size()); }

 private:
  ModprocEntry modproc_;
  IDirectSound* device_;
  const vantor::bench::Stopwatch& stopwatch_;
  std::string path_;
  std::vector<unsigned char> bytes_;
};

bool readSong(const char* path, std::vector<unsigned char>& bytes) {
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  unsigned char piece[65536];
  std::size_t got;
  while ((got = std::fread(piece, 1, sizeof piece, file)) > 0) bytes.insert(bytes.end(), piece, piece + got);
  std::fclose(file);
  return !bytes.empty();
}

// What the system's threads cost, without the plug-in: a thread started as the plug-in
// starts its feeder, and woken from its wait and joined as a stop does.
HANDLE wakeEvent = nullptr;
volatile LONG stopFlag = 0;

DWORD WINAPI waitingThread(LPVOID) {
  while (InterlockedCompareExchange(&stopFlag, 0, 0) == 0) WaitForSingleObject(wakeEvent, 5);
  return 0;
}

void printThreadCosts(const vantor::bench::Stopwatch& stopwatch, int rounds) {
  std::vector<double> starts, stops;
  for (int round = 0; round < rounds; ++round) {
    stopFlag = 0;
    wakeEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    double start = stopwatch.milliseconds();
    HANDLE thread = CreateThread(nullptr, 0, waitingThread, nullptr, 0, nullptr);
    SetThreadPriority(thread, THREAD_PRIORITY_ABOVE_NORMAL);
    starts.push_back(stopwatch.milliseconds() - start);
    Sleep(20 + round % 7);
    start = stopwatch.milliseconds();
    InterlockedExchange(&stopFlag, 1);
    SetEvent(wakeEvent);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(wakeEvent);
    stops.push_back(stopwatch.milliseconds() - start);
  }
  auto print = [](const char* what, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    std::printf("%s: %.3f/%.3f/%.3f ms\n", what, times.front(), times[times.size() / 2], times.back());
  };
  print("a thread started (CreateThread, SetThreadPriority), without the plug-in", starts);
  print("a waiting thread woken and joined (SetEvent, WaitForSingleObject, CloseHandle), without the plug-in",
        stops);
}

const char* baseName(const char* path) {
  const char* name = path;
  for (const char* at = path; *at != 0; ++at)
    if (*at == '\\' || *at == '/') name = at + 1;
  return name;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || std::atoi(argv[1]) < 1) {
    std::fprintf(stderr, "usage: %s ROUNDS SONG.xm...\n       %s ROUNDS --threads\n", argv[0], argv[0]);
    return 2;
  }
  if (std::strcmp(argv[2], "--threads") == 0) {
    printThreadCosts(vantor::bench::Stopwatch(GetCurrentThreadId()), std::atoi(argv[1]));
    return 0;
  }
  HMODULE plugin = LoadLibraryA("vantor.dll");
  // Through the generic function pointer type, which converts to any other.
  FARPROC entry = plugin != nullptr ? GetProcAddress(plugin, "modproc") : nullptr;
  auto modproc = reinterpret_cast<ModprocEntry>(reinterpret_cast<void (*)()>(entry));
  if (modproc == nullptr) {
    std::fprintf(stderr, "latency host: vantor.dll or its modproc not found\n");
    return 1;
  }
  IDirectSound* sound = nullptr;
  if (FAILED(DirectSoundCreate(nullptr, &sound, nullptr)) ||
      FAILED(sound->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY))) {
    std::fprintf(stderr, "latency host: DirectSound cannot be opened\n");
    return 1;
  }
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  std::printf("note performance counter at %lld Hz\n", static_cast<long long>(frequency.QuadPart));
  vantor::bench::Stopwatch stopwatch(GetCurrentThreadId());
  vantor::bench::TimedDevice timedSound(sound, stopwatch);
  for (int i = 2; i < argc; ++i) {
    std::vector<unsigned char> bytes;
    if (!readSong(argv[i], bytes)) {
      std::fprintf(stderr, "latency host: cannot read %s\n", argv[i]);
      return 1;
    }
    WindowsHost host(modproc, &timedSound, stopwatch, argv[i], std::move(bytes));
    vantor::bench::runLatencyRounds(host, baseName(argv[i]), std::atoi(argv[1]));
  }
  sound->Release();
  return 0;
}
