#include "platform/software_device.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>

namespace vantor::platform {

// What the device and its buffers share; it lives until the device and every buffer
// are gone. Lock order: a buffer's mutex before this one, never the other way.
struct DeviceState {
  std::mutex mutex;
  CursorMode cursorMode = CursorMode::manual;
  InjectedFaults faults;
  bool recording = true;
  std::vector<RecordedCall> calls;
  unsigned createdBuffers = 0;
  std::vector<SoftwareBuffer*> liveBuffers;  // in order of creation
  ULONG deviceReferences = 1;

  void recordLocked(RecordedCall&& call) {
    if (!recording || calls.size() >= SoftwareDevice::maxRecordedCalls) return;
    try {
      calls.push_back(std::move(call));
    } catch (const std::bad_alloc&) {
      // The record is for inspection only; a call is never failed for its sake.
    }
  }

  void record(RecordedCall&& call) {
    std::lock_guard lock(mutex);
    recordLocked(std::move(call));
  }

  InjectedFaults currentFaults() {
    std::lock_guard lock(mutex);
    return faults;
  }
};

namespace {

bool isSupportedPcm(const WAVEFORMATEX& format) {
  if (format.wFormatTag != WAVE_FORMAT_PCM) return false;
  if (format.nChannels != 1 && format.nChannels != 2) return false;
  if (format.wBitsPerSample != 8 && format.wBitsPerSample != 16) return false;
  if (format.nSamplesPerSec < DSBFREQUENCY_MIN || format.nSamplesPerSec > DSBFREQUENCY_MAX) return false;
  if (format.nBlockAlign != format.nChannels * format.wBitsPerSample / 8) return false;
  return format.nAvgBytesPerSec == format.nSamplesPerSec * format.nBlockAlign;
}

// Whole frames played in elapsed time at rate frames per second, without overflow
// however long the buffer plays.
std::uint64_t framesIn(std::chrono::steady_clock::duration elapsed, DWORD rate) {
  auto nanoseconds =
      static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count());
  constexpr std::uint64_t perSecond = 1000000000;
  return nanoseconds / perSecond * rate + nanoseconds % perSecond * rate / perSecond;
}

}  // namespace

double amplitudeOfVolume(LONG volume) {
  if (volume <= DSBVOLUME_MIN) return 0.0;
  if (volume >= DSBVOLUME_MAX) return 1.0;
  return std::pow(10.0, volume / 2000.0);
}

// ---------------------------------------------------------------------------------
// The device

SoftwareDevice::SoftwareDevice(CursorMode cursorMode) : state_(std::make_shared<DeviceState>()) {
  state_->cursorMode = cursorMode;
}

// Buffers still alive keep the shared state and go on working until released.
SoftwareDevice::~SoftwareDevice() = default;

HRESULT SoftwareDevice::QueryInterface(const GUID&, void** object) {
  if (object != nullptr) *object = nullptr;
  state_->record({.method = "QueryInterface", .result = E_NOINTERFACE});
  return E_NOINTERFACE;
}

ULONG SoftwareDevice::AddRef() {
  std::lock_guard lock(state_->mutex);
  ULONG count = ++state_->deviceReferences;
  state_->recordLocked({.method = "AddRef", .outputs = {count}});
  return count;
}

ULONG SoftwareDevice::Release() {
  std::lock_guard lock(state_->mutex);
  if (state_->deviceReferences > 0) --state_->deviceReferences;
  ULONG count = state_->deviceReferences;
  state_->recordLocked({.method = "Release", .outputs = {count}});
  return count;
}

HRESULT SoftwareDevice::CreateSoundBuffer(LPCDSBUFFERDESC description, LPDIRECTSOUNDBUFFER* buffer,
                                          LPUNKNOWN outer) {
  RecordedCall call{.method = "CreateSoundBuffer", .arguments = {outer != nullptr ? 1 : 0}, .outputs = {0}};
  if (description != nullptr) {
    call.hasDescription = true;
    call.description = *description;
    if (description->lpwfxFormat != nullptr) {
      call.hasFormat = true;
      call.format = *description->lpwfxFormat;
    }
  }
  auto finish = [&](HRESULT result) {
    call.result = result;
    state_->record(std::move(call));
    return result;
  };

  if (buffer == nullptr) return finish(DSERR_INVALIDPARAM);
  *buffer = nullptr;
  if (description == nullptr || description->dwSize != sizeof(DSBUFFERDESC))
    return finish(DSERR_INVALIDPARAM);
  if (outer != nullptr) return finish(DSERR_NOAGGREGATION);
  DWORD flags = description->dwFlags;
  if ((flags & DSBCAPS_PRIMARYBUFFER) != 0) return finish(DSERR_UNSUPPORTED);
  if ((flags & DSBCAPS_LOCHARDWARE) != 0 && (flags & DSBCAPS_LOCSOFTWARE) != 0)
    return finish(DSERR_INVALIDPARAM);
  if (description->lpwfxFormat == nullptr) return finish(DSERR_INVALIDPARAM);
  const WAVEFORMATEX& format = *description->lpwfxFormat;
  if (!isSupportedPcm(format)) return finish(DSERR_BADFORMAT);
  DWORD size = description->dwBufferBytes;
  if (size < DSBSIZE_MIN || size > DSBSIZE_MAX || size % format.nBlockAlign != 0)
    return finish(DSERR_INVALIDPARAM);

  std::lock_guard lock(state_->mutex);
  if (state_->faults.createSoundBuffer != DS_OK) {
    call.result = state_->faults.createSoundBuffer;
    state_->recordLocked(std::move(call));
    return state_->faults.createSoundBuffer;
  }
  auto* memory = new (std::nothrow) std::uint8_t[size]();
  auto* created = memory ? new (std::nothrow) SoftwareBuffer(state_, state_->createdBuffers + 1, *description,
                                                             memory, state_->cursorMode)
                         : nullptr;
  bool listed = false;
  if (created != nullptr) {
    try {
      state_->liveBuffers.push_back(created);
      listed = true;
    } catch (const std::bad_alloc&) {
    }
  }
  if (!listed) {
    if (created != nullptr)
      delete created;  // frees the memory as well
    else
      delete[] memory;
    call.result = DSERR_OUTOFMEMORY;
    state_->recordLocked(std::move(call));
    return DSERR_OUTOFMEMORY;
  }
  ++state_->createdBuffers;
  call.outputs = {created->number()};
  state_->recordLocked(std::move(call));
  *buffer = created;
  return DS_OK;
}

HRESULT SoftwareDevice::SetCooperativeLevel(HWND, DWORD level) {
  HRESULT result = level >= DSSCL_NORMAL && level <= DSSCL_WRITEPRIMARY ? DS_OK : DSERR_INVALIDPARAM;
  state_->record({.method = "SetCooperativeLevel", .arguments = {level}, .result = result});
  return result;
}

void SoftwareDevice::setCursorMode(CursorMode mode) {
  std::lock_guard lock(state_->mutex);
  state_->cursorMode = mode;
}

CursorMode SoftwareDevice::cursorMode() const {
  std::lock_guard lock(state_->mutex);
  return state_->cursorMode;
}

BufferRef SoftwareDevice::newestBuffer() const {
  std::lock_guard lock(state_->mutex);
  if (state_->liveBuffers.empty()) return BufferRef();
  SoftwareBuffer* newest = state_->liveBuffers.back();
  ++newest->references_;
  return BufferRef(newest);
}

int SoftwareDevice::liveBufferCount() const {
  std::lock_guard lock(state_->mutex);
  return static_cast<int>(state_->liveBuffers.size());
}

int SoftwareDevice::createdBufferCount() const {
  std::lock_guard lock(state_->mutex);
  return static_cast<int>(state_->createdBuffers);
}

std::vector<RecordedCall> SoftwareDevice::calls() const {
  std::lock_guard lock(state_->mutex);
  return state_->calls;
}

std::vector<std::string> SoftwareDevice::callNames() const {
  std::lock_guard lock(state_->mutex);
  std::vector<std::string> names;
  names.reserve(state_->calls.size());
  for (const RecordedCall& call : state_->calls) names.push_back(call.method);
  return names;
}

void SoftwareDevice::clearCalls() {
  std::lock_guard lock(state_->mutex);
  state_->calls.clear();
}

void SoftwareDevice::setRecording(bool on) {
  std::lock_guard lock(state_->mutex);
  state_->recording = on;
}

void SoftwareDevice::injectFaults(const InjectedFaults& faults) {
  std::lock_guard lock(state_->mutex);
  state_->faults = faults;
}

// ---------------------------------------------------------------------------------
// A buffer: the DirectSound side

SoftwareBuffer::SoftwareBuffer(std::shared_ptr<DeviceState> device, unsigned number,
                               const DSBUFFERDESC& description, std::uint8_t* memory, CursorMode cursorMode)
    : device_(std::move(device)),
      number_(number),
      format_(*description.lpwfxFormat),
      flags_(description.dwFlags),
      size_(description.dwBufferBytes),
      cursorMode_(cursorMode),
      memory_(memory) {}

SoftwareBuffer::~SoftwareBuffer() { delete[] memory_; }

void SoftwareBuffer::record(RecordedCall call) const {
  call.target = number_;
  device_->record(std::move(call));
}

std::int64_t SoftwareBuffer::offsetOf(const void* pointer) const {
  if (pointer == nullptr) return -1;
  auto address = reinterpret_cast<std::uintptr_t>(pointer);
  auto start = reinterpret_cast<std::uintptr_t>(memory_);
  if (address < start || address >= start + size_) return -2;
  return static_cast<std::int64_t>(address - start);
}

HRESULT SoftwareBuffer::QueryInterface(const GUID&, void** object) {
  if (object != nullptr) *object = nullptr;
  record({.method = "QueryInterface", .result = E_NOINTERFACE});
  return E_NOINTERFACE;
}

ULONG SoftwareBuffer::AddRef() {
  std::lock_guard lock(device_->mutex);
  ULONG count = ++references_;
  device_->recordLocked({.target = number_, .method = "AddRef", .outputs = {count}});
  return count;
}

ULONG SoftwareBuffer::Release() { return releaseReference(true); }

void SoftwareBuffer::retain() {
  std::lock_guard lock(device_->mutex);
  ++references_;
}

ULONG SoftwareBuffer::releaseReference(bool recorded) {
  ULONG count;
  {
    std::lock_guard lock(device_->mutex);
    count = --references_;
    if (recorded) device_->recordLocked({.target = number_, .method = "Release", .outputs = {count}});
    if (count == 0) {
      auto& live = device_->liveBuffers;
      live.erase(std::remove(live.begin(), live.end(), this), live.end());
    }
  }
  if (count == 0) delete this;
  return count;
}

HRESULT SoftwareBuffer::GetStatus(LPDWORD status) {
  std::lock_guard lock(mutex_);
  if (status == nullptr) {
    record({.method = "GetStatus", .result = DSERR_INVALIDPARAM});
    return DSERR_INVALIDPARAM;
  }
  Position position = positionNow();
  *status = position.playing ? DSBSTATUS_PLAYING | (looping_ ? DSBSTATUS_LOOPING : 0) : 0;
  record({.method = "GetStatus", .outputs = {*status}});
  return DS_OK;
}

HRESULT SoftwareBuffer::GetCurrentPosition(LPDWORD playCursor, LPDWORD writeCursor) {
  std::lock_guard lock(mutex_);
  RecordedCall call{.method = "GetCurrentPosition",
                    .arguments = {playCursor != nullptr ? 1 : 0, writeCursor != nullptr ? 1 : 0}};
  if (playCursor == nullptr && writeCursor == nullptr) {
    call.result = DSERR_INVALIDPARAM;
    record(std::move(call));
    return DSERR_INVALIDPARAM;
  }
  Position position = positionNow();
  DWORD play = position.frame * frameBytes();
  DWORD write = writeCursorFrame(position) * frameBytes();
  if (playCursor != nullptr) *playCursor = play;
  if (writeCursor != nullptr) *writeCursor = write;
  call.outputs = {play, write};
  record(std::move(call));
  return DS_OK;
}

HRESULT SoftwareBuffer::GetVolume(LPLONG volume) {
  std::lock_guard lock(mutex_);
  HRESULT result = DS_OK;
  if ((flags_ & DSBCAPS_CTRLVOLUME) == 0)
    result = DSERR_CONTROLUNAVAIL;
  else if (volume == nullptr)
    result = DSERR_INVALIDPARAM;
  if (result != DS_OK) {
    record({.method = "GetVolume", .result = result});
    return result;
  }
  *volume = volume_;
  record({.method = "GetVolume", .outputs = {volume_}});
  return DS_OK;
}

HRESULT SoftwareBuffer::Lock(DWORD offset, DWORD bytes, LPVOID* region1, LPDWORD region1Bytes,
                             LPVOID* region2, LPDWORD region2Bytes, DWORD flags) {
  std::lock_guard lock(mutex_);
  if (region1 != nullptr) *region1 = nullptr;
  if (region1Bytes != nullptr) *region1Bytes = 0;
  if (region2 != nullptr) *region2 = nullptr;
  if (region2Bytes != nullptr) *region2Bytes = 0;
  RecordedCall call{.method = "Lock", .arguments = {offset, bytes, flags}, .outputs = {-1, 0, -1, 0}};
  auto fail = [&](HRESULT result) {
    call.result = result;
    record(std::move(call));
    return result;
  };

  if (region1 == nullptr || region1Bytes == nullptr || (region2 == nullptr) != (region2Bytes == nullptr))
    return fail(DSERR_INVALIDPARAM);
  if ((flags & ~(DSBLOCK_FROMWRITECURSOR | DSBLOCK_ENTIREBUFFER)) != 0) return fail(DSERR_INVALIDPARAM);
  DWORD start =
      (flags & DSBLOCK_FROMWRITECURSOR) != 0 ? writeCursorFrame(positionNow()) * frameBytes() : offset;
  DWORD length = (flags & DSBLOCK_ENTIREBUFFER) != 0 ? size_ : bytes;
  if (start >= size_ || length == 0 || length > size_) return fail(DSERR_INVALIDPARAM);
  InjectedFaults faults = device_->currentFaults();
  if (faults.lock != DS_OK) return fail(faults.lock);

  DWORD first = std::min(length, size_ - start);
  DWORD second = region2 != nullptr ? length - first : 0;
  if (faults.lockFirstRegionLimit != 0) {
    first = std::min(first, faults.lockFirstRegionLimit);
    second = 0;
  }
  *region1 = memory_ + start;
  *region1Bytes = first;
  if (second > 0) {
    *region2 = memory_;
    *region2Bytes = second;
  }
  call.outputs = {start, first, second > 0 ? 0 : -1, second};
  record(std::move(call));
  return DS_OK;
}

HRESULT SoftwareBuffer::Play(DWORD reserved, DWORD priority, DWORD flags) {
  std::lock_guard lock(mutex_);
  RecordedCall call{.method = "Play", .arguments = {reserved, priority, flags}};
  HRESULT result = DS_OK;
  if (reserved != 0 || priority != 0 || (flags & ~DSBPLAY_LOOPING) != 0)
    result = DSERR_INVALIDPARAM;
  else
    result = device_->currentFaults().play;
  if (result == DS_OK) {
    settle();
    playing_ = true;
    looping_ = (flags & DSBPLAY_LOOPING) != 0;
  }
  call.result = result;
  record(std::move(call));
  return result;
}

HRESULT SoftwareBuffer::SetCurrentPosition(DWORD playCursor) {
  std::lock_guard lock(mutex_);
  HRESULT result = DSERR_INVALIDPARAM;
  if (playCursor < size_) {
    settle();
    cursorFrame_ = playCursor / frameBytes();
    result = DS_OK;
  }
  record({.method = "SetCurrentPosition", .arguments = {playCursor}, .result = result});
  return result;
}

HRESULT SoftwareBuffer::SetVolume(LONG volume) {
  std::lock_guard lock(mutex_);
  HRESULT result = DS_OK;
  if ((flags_ & DSBCAPS_CTRLVOLUME) == 0)
    result = DSERR_CONTROLUNAVAIL;
  else if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX)
    result = DSERR_INVALIDPARAM;
  else
    volume_ = volume;
  record({.method = "SetVolume", .arguments = {volume}, .result = result});
  return result;
}

HRESULT SoftwareBuffer::Stop() {
  std::lock_guard lock(mutex_);
  settle();
  playing_ = false;
  record({.method = "Stop"});
  return DS_OK;
}

HRESULT SoftwareBuffer::Unlock(LPVOID region1, DWORD region1Bytes, LPVOID region2, DWORD region2Bytes) {
  std::lock_guard lock(mutex_);
  std::int64_t first = offsetOf(region1);
  std::int64_t second = offsetOf(region2);
  bool valid = first >= 0 && first + region1Bytes <= size_ &&
               (region2 == nullptr || (second >= 0 && second + region2Bytes <= size_));
  HRESULT result = valid ? DS_OK : DSERR_INVALIDPARAM;
  record({.method = "Unlock", .arguments = {first, region1Bytes, second, region2Bytes}, .result = result});
  return result;
}

// ---------------------------------------------------------------------------------
// A buffer: the cursor

SoftwareBuffer::Position SoftwareBuffer::positionNow() const {
  if (cursorMode_ != CursorMode::clock || !playing_) return {cursorFrame_, playing_};
  std::uint64_t reached = cursorFrame_ + framesIn(Clock::now() - clockStart_, format_.nSamplesPerSec);
  if (looping_) return {static_cast<DWORD>(reached % frameCount()), true};
  if (reached >= frameCount()) return {0, false};
  return {static_cast<DWORD>(reached), true};
}

void SoftwareBuffer::settle() {
  Position position = positionNow();
  cursorFrame_ = position.frame;
  playing_ = position.playing;
  clockStart_ = Clock::now();
}

DWORD SoftwareBuffer::writeCursorFrame(const Position& position) const {
  if (!position.playing) return position.frame;
  DWORD lead = std::min<DWORD>(format_.nSamplesPerSec / 100, frameCount() - 1);
  return (position.frame + lead) % frameCount();
}

void SoftwareBuffer::moveCursor(std::size_t frames) {
  std::uint64_t reached = cursorFrame_ + static_cast<std::uint64_t>(frames);
  if (looping_) {
    cursorFrame_ = static_cast<DWORD>(reached % frameCount());
  } else if (reached >= frameCount()) {
    cursorFrame_ = 0;
    playing_ = false;
  } else {
    cursorFrame_ = static_cast<DWORD>(reached);
  }
}

// ---------------------------------------------------------------------------------
// A buffer: the owner's side

bool SoftwareBuffer::playing() const {
  std::lock_guard lock(mutex_);
  return positionNow().playing;
}

bool SoftwareBuffer::looping() const {
  std::lock_guard lock(mutex_);
  return looping_;
}

DWORD SoftwareBuffer::playCursor() const {
  std::lock_guard lock(mutex_);
  return positionNow().frame * frameBytes();
}

LONG SoftwareBuffer::volume() const {
  std::lock_guard lock(mutex_);
  return volume_;
}

bool SoftwareBuffer::setPlayCursor(DWORD offset) {
  std::lock_guard lock(mutex_);
  if (offset >= size_) return false;
  settle();
  cursorFrame_ = offset / frameBytes();
  return true;
}

bool SoftwareBuffer::advancePlayCursor(DWORD bytes) {
  std::lock_guard lock(mutex_);
  if (cursorMode_ != CursorMode::manual || !playing_) return false;
  moveCursor(bytes / frameBytes());
  return true;
}

std::size_t SoftwareBuffer::consume(void* destination, std::size_t frames) {
  std::lock_guard lock(mutex_);
  if (cursorMode_ != CursorMode::manual) return 0;
  auto* out = static_cast<std::uint8_t*>(destination);
  std::size_t copied = 0;
  while (copied < frames && playing_) {
    std::size_t chunk = std::min<std::size_t>(frames - copied, frameCount() - cursorFrame_);
    std::memcpy(out + copied * frameBytes(), memory_ + cursorFrame_ * frameBytes(), chunk * frameBytes());
    copied += chunk;
    moveCursor(chunk);
  }
  return copied;
}

void SoftwareBuffer::copyOut(DWORD offset, DWORD bytes, void* destination) const {
  DWORD first = std::min(bytes, size_ - offset);
  std::memcpy(destination, memory_ + offset, first);
  std::memcpy(static_cast<std::uint8_t*>(destination) + first, memory_, bytes - first);
}

bool SoftwareBuffer::read(DWORD offset, DWORD bytes, void* destination) const {
  std::lock_guard lock(mutex_);
  if (offset >= size_ || bytes > size_) return false;
  copyOut(offset, bytes, destination);
  return true;
}

std::vector<std::uint8_t> SoftwareBuffer::contents() const {
  std::lock_guard lock(mutex_);
  return std::vector<std::uint8_t>(memory_, memory_ + size_);
}

// ---------------------------------------------------------------------------------
// BufferRef

BufferRef::BufferRef(const BufferRef& other) : buffer_(other.buffer_) {
  if (buffer_ != nullptr) buffer_->retain();
}

BufferRef::BufferRef(BufferRef&& other) noexcept : buffer_(std::exchange(other.buffer_, nullptr)) {}

BufferRef& BufferRef::operator=(BufferRef other) noexcept {
  std::swap(buffer_, other.buffer_);
  return *this;
}

BufferRef::~BufferRef() {
  if (buffer_ != nullptr) buffer_->releaseReference(false);
}

}  // namespace vantor::platform
