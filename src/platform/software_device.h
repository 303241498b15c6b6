// A DirectSound device in software. Its secondary buffers hold PCM in memory and
// behave as DirectSound's do towards the code that feeds them (Lock and Unlock with
// wrapping regions, volume only with DSBCAPS_CTRLVOLUME, a play cursor that moves
// while the buffer plays), so the library runs against it unchanged. Whoever owns the
// device decides how the play cursor moves: with the clock in real time, or by hand
// (tests, offline rendering, and an output backend that moves it with what it has
// played). The device records the calls it receives and can be told to fail some of
// them, so tests can check what the library asks and how it copes with refusals.
//
// Ownership: the device is a plain object of its creator (on the stack or the heap);
// AddRef and Release on it only count, they never free it. A buffer lives until its
// last Release. A buffer that outlives its device keeps working: it shares the
// device's record and settings, which stay alive until the last buffer is gone.
//
// Threads: every method of both classes may be called from any thread. Each buffer
// serialises its own methods with a mutex, as DirectSound serialises them internally.
// The pointers that Lock hands out point into the buffer memory and are written by
// the caller after Lock has returned, as with DirectSound.
#pragma once

#include <dsound.h>
#include <windows.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vantor::platform {

// How the play cursor of a playing buffer moves.
enum class CursorMode {
  manual,  // only when the owner moves it: setPlayCursor, advancePlayCursor, consume
  clock,   // with the steady clock, at the format's frame rate
};

// One call received through the DirectSound interfaces.
//
// arguments and outputs hold the call's numbers in parameter order. A pointer into
// buffer memory is recorded as its byte offset in the buffer, a null pointer as -1
// and any other pointer as -2. Outputs are what the call handed back.
//   CreateSoundBuffer   arguments {outer given 0/1}; outputs {number of the new buffer, 0 if none};
//                       description and format hold copies of what the call pointed at
//   SetCooperativeLevel arguments {level}
//   Lock                arguments {offset, bytes, flags}; outputs {region1, bytes1, region2, bytes2}
//   Unlock              arguments {region1, bytes1, region2, bytes2}
//   GetCurrentPosition  arguments {play cursor given 0/1, write cursor given 0/1};
//                       outputs {play, write} when it succeeded
//   SetCurrentPosition  arguments {offset}
//   SetVolume           arguments {volume};  GetVolume outputs {volume} when it succeeded
//   Play                arguments {reserved, priority, flags}
//   GetStatus           outputs {status} when it succeeded
//   AddRef, Release     outputs {reference count after the call}
//   Stop, QueryInterface  nothing
struct RecordedCall {
  unsigned target = 0;  // 0 for the device, n for the n-th buffer it created
  std::string method{};
  std::vector<std::int64_t> arguments{};
  std::vector<std::int64_t> outputs{};
  HRESULT result = DS_OK;
  bool hasDescription = false;
  DSBUFFERDESC description{};  // lpwfxFormat is kept as given: read format instead
  bool hasFormat = false;
  alignas(4) WAVEFORMATEX format{};  // packed: aligned here so its 32-bit fields are
};

// Failures the device produces on request, for every call that follows until they
// are changed back (inject {} to end them all). Validation comes first: an invalid
// call fails as it would without them.
struct InjectedFaults {
  HRESULT createSoundBuffer = DS_OK;  // CreateSoundBuffer fails with this and creates nothing
  HRESULT play = DS_OK;               // Play fails with this and the buffer does not start
  HRESULT lock = DS_OK;               // Lock fails with this and hands out no region
  DWORD lockFirstRegionLimit = 0;     // nonzero: Lock succeeds with a first region of at most
                                      // this many bytes and no second region
};

struct DeviceState;
class SoftwareBuffer;
class BufferRef;

// The DirectSound amplitude factor of a volume in hundredths of a decibel: 1 at 0,
// 0.5 near -602, and exactly 0 at DSBVOLUME_MIN (silence).
double amplitudeOfVolume(LONG volume);

class SoftwareDevice final : public IDirectSound {
 public:
  explicit SoftwareDevice(CursorMode cursorMode = CursorMode::manual);
  ~SoftwareDevice();
  SoftwareDevice(const SoftwareDevice&) = delete;
  SoftwareDevice& operator=(const SoftwareDevice&) = delete;

  // IUnknown: no other interface is offered; the counts never free the device.
  HRESULT STDMETHODCALLTYPE QueryInterface(const GUID& id, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // Creates a zeroed secondary buffer with the description's flags, size and PCM
  // format (1 or 2 channels of 8 or 16 bits, DSBFREQUENCY_MIN..DSBFREQUENCY_MAX frames
  // per second, a consistent block alignment and byte rate). A null description or
  // out pointer, a dwSize other than sizeof(DSBUFFERDESC) (40 with 64-bit pointers,
  // 36 on 32-bit Windows), a null format, a size
  // outside DSBSIZE_MIN..DSBSIZE_MAX or not a whole number of frames, or both
  // location flags give DSERR_INVALIDPARAM; another format DSERR_BADFORMAT; a primary
  // buffer DSERR_UNSUPPORTED; an outer object DSERR_NOAGGREGATION.
  HRESULT STDMETHODCALLTYPE CreateSoundBuffer(LPCDSBUFFERDESC description, LPDIRECTSOUNDBUFFER* buffer,
                                              LPUNKNOWN outer) override;
  // Accepts any window and the levels DSSCL_NORMAL..DSSCL_WRITEPRIMARY; nothing here
  // depends on the level.
  HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD level) override;

  // The cursor mode of buffers created from now on.
  void setCursorMode(CursorMode mode);
  CursorMode cursorMode() const;

  // A counted reference to the most recently created buffer that is still alive, or
  // an empty reference; a backend holds it while it reads from the buffer.
  BufferRef newestBuffer() const;
  int liveBufferCount() const;
  int createdBufferCount() const;

  // The calls received by the device and its buffers, in the order they happened.
  // Recording is on from the start and keeps the first maxRecordedCalls calls.
  static constexpr std::size_t maxRecordedCalls = 100000;
  std::vector<RecordedCall> calls() const;
  std::vector<std::string> callNames() const;
  void clearCalls();
  void setRecording(bool on);

  void injectFaults(const InjectedFaults& faults);

 private:
  std::shared_ptr<DeviceState> state_;
};

class SoftwareBuffer final : public IDirectSoundBuffer {
 public:
  // IUnknown: no other interface is offered; the last Release frees the buffer.
  HRESULT STDMETHODCALLTYPE QueryInterface(const GUID& id, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE GetStatus(LPDWORD status) override;
  // Either cursor may be null, not both. While playing, the write cursor is 10 ms
  // (at most the buffer less one frame) ahead of the play cursor; stopped, they are equal.
  HRESULT STDMETHODCALLTYPE GetCurrentPosition(LPDWORD playCursor, LPDWORD writeCursor) override;
  HRESULT STDMETHODCALLTYPE GetVolume(LPLONG volume) override;
  // Locks bytes from offset (or from the write cursor), the whole buffer with
  // DSBLOCK_ENTIREBUFFER, wrapping into a second region at the end of the buffer. The
  // outputs are nulled first. Without a second region pointer only the part up to the
  // end is locked. An offset beyond the buffer, zero or too many bytes, unknown flags,
  // a null first region or a half-given second region give DSERR_INVALIDPARAM.
  HRESULT STDMETHODCALLTYPE Lock(DWORD offset, DWORD bytes, LPVOID* region1, LPDWORD region1Bytes,
                                 LPVOID* region2, LPDWORD region2Bytes, DWORD flags) override;
  // Plays from the play cursor; with DSBPLAY_LOOPING it wraps at the end, without it
  // it stops there and the cursor rests at 0. reserved and priority must be 0.
  HRESULT STDMETHODCALLTYPE Play(DWORD reserved, DWORD priority, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE SetCurrentPosition(DWORD playCursor) override;
  // Only with DSBCAPS_CTRLVOLUME (else DSERR_CONTROLUNAVAIL), DSBVOLUME_MIN..DSBVOLUME_MAX.
  HRESULT STDMETHODCALLTYPE SetVolume(LONG volume) override;
  HRESULT STDMETHODCALLTYPE Stop() override;
  // The regions must lie inside the buffer memory (the first one non-null).
  HRESULT STDMETHODCALLTYPE Unlock(LPVOID region1, DWORD region1Bytes, LPVOID region2,
                                   DWORD region2Bytes) override;

  // The owner's side. These calls are not recorded.
  unsigned number() const { return number_; }  // n for the device's n-th buffer
  const WAVEFORMATEX& format() const { return format_; }
  DWORD flags() const { return flags_; }
  DWORD size() const { return size_; }
  DWORD frameBytes() const { return format_.nBlockAlign; }
  CursorMode cursorMode() const { return cursorMode_; }
  bool playing() const;
  bool looping() const;
  DWORD playCursor() const;
  LONG volume() const;  // DSBVOLUME_MAX until SetVolume changes it

  // Puts the play cursor at offset (rounded down to a whole frame), playing or not;
  // false when offset is not inside the buffer.
  bool setPlayCursor(DWORD offset);
  // Manual mode: moves the cursor of a playing buffer on by the whole frames in bytes,
  // as if it had played them (wrapping, or stopping at the end without looping).
  // False, and nothing moves, when the buffer is stopped or in clock mode.
  bool advancePlayCursor(DWORD bytes);
  // Manual mode, for an output backend: copies up to frames frames of PCM from the
  // play cursor onward into destination, wrapping at the end of the buffer, as stored
  // (volume is not applied: see amplitudeOfVolume), and moves the cursor past them.
  // Returns the frames copied: all of them while looping, fewer when a one-shot play
  // reaches the end, none when the buffer is stopped or in clock mode.
  std::size_t consume(void* destination, std::size_t frames);
  // Copies bytes from offset onward, wrapping at the end of the buffer; false when
  // offset is not inside the buffer or bytes exceed its size.
  bool read(DWORD offset, DWORD bytes, void* destination) const;
  std::vector<std::uint8_t> contents() const;

 private:
  friend class SoftwareDevice;
  friend class BufferRef;
  using Clock = std::chrono::steady_clock;

  SoftwareBuffer(std::shared_ptr<DeviceState> device, unsigned number, const DSBUFFERDESC& description,
                 std::uint8_t* memory, CursorMode cursorMode);
  ~SoftwareBuffer();

  // Where a playing clock-driven buffer is at a moment: the cursor, and whether a
  // one-shot play is still going.
  struct Position {
    DWORD frame;
    bool playing;
  };

  // Owner references (BufferRef) are counted like the others but not recorded.
  void retain();
  ULONG releaseReference(bool recorded);
  void record(RecordedCall call) const;
  std::int64_t offsetOf(const void* pointer) const;
  DWORD frameCount() const { return size_ / format_.nBlockAlign; }
  // The cursor and play state as they are now; settle() stores them and restarts
  // the clock from there, before anything changes them.
  Position positionNow() const;
  void settle();
  DWORD writeCursorFrame(const Position& position) const;
  void moveCursor(std::size_t frames);  // a playing buffer in manual mode
  void copyOut(DWORD offset, DWORD bytes, void* destination) const;

  const std::shared_ptr<DeviceState> device_;
  const unsigned number_;
  alignas(4) const WAVEFORMATEX format_;
  const DWORD flags_;
  const DWORD size_;
  const CursorMode cursorMode_;
  std::uint8_t* const memory_;

  ULONG references_ = 1;  // guarded by the device state's mutex

  mutable std::mutex mutex_;
  DWORD cursorFrame_ = 0;  // clock mode: the cursor at clockStart_
  Clock::time_point clockStart_{};
  bool playing_ = false;  // clock mode: at clockStart_
  bool looping_ = false;
  LONG volume_ = DSBVOLUME_MAX;
};

// A counted reference to a buffer, taken and given back without being recorded.
class BufferRef {
 public:
  BufferRef() = default;
  BufferRef(const BufferRef& other);
  BufferRef(BufferRef&& other) noexcept;
  BufferRef& operator=(BufferRef other) noexcept;
  ~BufferRef();

  SoftwareBuffer* get() const { return buffer_; }
  SoftwareBuffer* operator->() const { return buffer_; }
  explicit operator bool() const { return buffer_ != nullptr; }

 private:
  friend class SoftwareDevice;
  explicit BufferRef(SoftwareBuffer* retained) : buffer_(retained) {}
  SoftwareBuffer* buffer_ = nullptr;
};

}  // namespace vantor::platform
