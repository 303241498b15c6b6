// The few Windows, DirectSound and C run-time functions the test host calls, declared
// here rather than taken from a system header: the same declarations serve the
// MinGW-w64 GCC and clang for Microsoft's ABI, which has no Windows headers of its own
// here. Import libraries: kernel32, user32, dsound and the C run-time (msvcrt for the
// GCC host, msvcr90 for the Microsoft-ABI one).
#pragma once

using DWORD = unsigned long;
using HRESULT = long;
using HANDLE = void*;
using HWND = struct HWND__*;
using size_t = decltype(sizeof 0);

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

#pragma pack(push, 1)
struct WAVEFORMATEX {
  unsigned short wFormatTag;
  unsigned short nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  unsigned short nBlockAlign;
  unsigned short wBitsPerSample;
  unsigned short cbSize;
};
#pragma pack(pop)

struct GUID {
  unsigned long data1;
  unsigned short data2, data3;
  unsigned char data4[8];
};

struct DSBUFFERDESC {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwBufferBytes;
  DWORD dwReserved;
  WAVEFORMATEX* lpwfxFormat;
  GUID guid3DAlgorithm;
};

constexpr unsigned short WAVE_FORMAT_PCM = 1;
constexpr DWORD DSBCAPS_LOCSOFTWARE = 0x8;
constexpr DWORD DSBCAPS_CTRLVOLUME = 0x80;
constexpr DWORD DSBCAPS_GETCURRENTPOSITION2 = 0x10000;
constexpr DWORD DSBPLAY_LOOPING = 1;
constexpr DWORD DSSCL_PRIORITY = 2;

// COM interfaces: the methods in the order of their table; the host calls only some.
struct IDirectSoundBuffer {
  virtual HRESULT __stdcall QueryInterface(const GUID& id, void** object) = 0;
  virtual unsigned long __stdcall AddRef() = 0;
  virtual unsigned long __stdcall Release() = 0;
  virtual HRESULT __stdcall GetCaps(void* caps) = 0;
  virtual HRESULT __stdcall GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) = 0;
  virtual HRESULT __stdcall GetFormat(WAVEFORMATEX* format, DWORD size, DWORD* written) = 0;
  virtual HRESULT __stdcall GetVolume(long* volume) = 0;
  virtual HRESULT __stdcall GetPan(long* pan) = 0;
  virtual HRESULT __stdcall GetFrequency(DWORD* frequency) = 0;
  virtual HRESULT __stdcall GetStatus(DWORD* status) = 0;
  virtual HRESULT __stdcall Initialize(void* device, const DSBUFFERDESC* description) = 0;
  virtual HRESULT __stdcall Lock(DWORD offset, DWORD bytes, void** region1, DWORD* region1Bytes, void** region2,
                                 DWORD* region2Bytes, DWORD flags) = 0;
  virtual HRESULT __stdcall Play(DWORD reserved, DWORD priority, DWORD flags) = 0;
  virtual HRESULT __stdcall SetCurrentPosition(DWORD position) = 0;
  virtual HRESULT __stdcall SetFormat(const WAVEFORMATEX* format) = 0;
  virtual HRESULT __stdcall SetVolume(long volume) = 0;
  virtual HRESULT __stdcall SetPan(long pan) = 0;
  virtual HRESULT __stdcall SetFrequency(DWORD frequency) = 0;
  virtual HRESULT __stdcall Stop() = 0;
  virtual HRESULT __stdcall Unlock(void* region1, DWORD region1Bytes, void* region2, DWORD region2Bytes) = 0;
  virtual HRESULT __stdcall Restore() = 0;
};

struct IDirectSound {
  virtual HRESULT __stdcall QueryInterface(const GUID& id, void** object) = 0;
  virtual unsigned long __stdcall AddRef() = 0;
  virtual unsigned long __stdcall Release() = 0;
  virtual HRESULT __stdcall CreateSoundBuffer(const DSBUFFERDESC* description, IDirectSoundBuffer** buffer,
                                              void* outer) = 0;
  virtual HRESULT __stdcall GetCaps(void* caps) = 0;
  virtual HRESULT __stdcall DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** duplicate) = 0;
  virtual HRESULT __stdcall SetCooperativeLevel(HWND window, DWORD level) = 0;
  virtual HRESULT __stdcall Compact() = 0;
  virtual HRESULT __stdcall GetSpeakerConfig(DWORD* config) = 0;
  virtual HRESULT __stdcall SetSpeakerConfig(DWORD config) = 0;
  virtual HRESULT __stdcall Initialize(const GUID* device) = 0;
};

struct PROCESS_HEAP_ENTRY {
  void* lpData;
  DWORD cbData;
  unsigned char cbOverhead;
  unsigned char iRegionIndex;
  unsigned short wFlags;
  union {
    struct {
      HANDLE hMem;
      DWORD dwReserved[3];
    } Block;
    struct {
      DWORD dwCommittedSize;
      DWORD dwUnCommittedSize;
      void* lpFirstBlock;
      void* lpLastBlock;
    } Region;
  };
};
constexpr unsigned short PROCESS_HEAP_ENTRY_BUSY = 0x4;

struct PROCESS_MEMORY_COUNTERS_EX {
  DWORD cb;
  DWORD PageFaultCount;
  size_t PeakWorkingSetSize;
  size_t WorkingSetSize;
  size_t QuotaPeakPagedPoolUsage;
  size_t QuotaPagedPoolUsage;
  size_t QuotaPeakNonPagedPoolUsage;
  size_t QuotaNonPagedPoolUsage;
  size_t PagefileUsage;
  size_t PeakPagefileUsage;
  size_t PrivateUsage;
};

constexpr DWORD GENERIC_READ = 0x80000000ul;
constexpr DWORD GENERIC_WRITE = 0x40000000ul;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD WAIT_OBJECT_0 = 0;
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(-1))

extern "C" {

__declspec(dllimport) HRESULT __stdcall DirectSoundCreate(const GUID* device, IDirectSound** sound, void* outer);
__declspec(dllimport) HWND __stdcall GetDesktopWindow();

__declspec(dllimport) void __stdcall Sleep(DWORD milliseconds);
__declspec(dllimport) DWORD __stdcall GetTickCount();
__declspec(dllimport) void __stdcall GetSystemTimeAsFileTime(FILETIME* now);
__declspec(dllimport) HANDLE __stdcall CreateFileA(const char* name, DWORD access, DWORD share, void* security,
                                                   DWORD disposition, DWORD flags, HANDLE templateFile);
__declspec(dllimport) int __stdcall ReadFile(HANDLE file, void* bytes, DWORD size, DWORD* read, void* overlapped);
__declspec(dllimport) int __stdcall WriteFile(HANDLE file, const void* bytes, DWORD size, DWORD* written,
                                              void* overlapped);
__declspec(dllimport) DWORD __stdcall GetFileSize(HANDLE file, DWORD* sizeHigh);
__declspec(dllimport) int __stdcall CloseHandle(HANDLE object);
__declspec(dllimport) HANDLE __stdcall CreateThread(void* security, size_t stackSize,
                                                    DWORD(__stdcall* start)(void* parameter), void* parameter,
                                                    DWORD flags, DWORD* threadId);
__declspec(dllimport) DWORD __stdcall WaitForSingleObject(HANDLE object, DWORD milliseconds);
__declspec(dllimport) HANDLE __stdcall GetModuleHandleA(const char* name);
__declspec(dllimport) void* __stdcall GetProcAddress(HANDLE module, const char* name);
__declspec(dllimport) HANDLE __stdcall LoadLibraryA(const char* name);
__declspec(dllimport) int __stdcall FreeLibrary(HANDLE module);
__declspec(dllimport) int __stdcall CopyFileA(const char* from, const char* to, int failIfExists);
__declspec(dllimport) HANDLE __stdcall GetCurrentProcess();
__declspec(dllimport) DWORD __stdcall GetProcessHeaps(DWORD count, HANDLE* heaps);
__declspec(dllimport) int __stdcall HeapLock(HANDLE heap);
__declspec(dllimport) int __stdcall HeapUnlock(HANDLE heap);
__declspec(dllimport) int __stdcall HeapWalk(HANDLE heap, PROCESS_HEAP_ENTRY* entry);
__declspec(dllimport) int __stdcall K32GetProcessMemoryInfo(HANDLE process, PROCESS_MEMORY_COUNTERS_EX* counters,
                                                            DWORD size);

int printf(const char* format, ...);
int fflush(struct FILE* stream);  // null: every stream
void* malloc(size_t size);
void free(void* block);
void* memset(void* destination, int value, size_t size);
void* memcpy(void* destination, const void* source, size_t size);
int memcmp(const void* first, const void* second, size_t size);
int strcmp(const char* first, const char* second);
size_t strlen(const char* text);
}
