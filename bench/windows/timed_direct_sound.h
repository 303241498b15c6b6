// DirectSound as the plug-in sees it, with a stopwatch: the device and every buffer it
// creates pass each call on to the real objects and add the time the calls take on
// one thread (the host's) to a sum, so that the host can tell how much of a command
// was spent inside DirectSound. Calls from other threads (the feeder's) are passed on
// untimed.
#pragma once

#include <dsound.h>
#include <windows.h>

namespace vantor::bench {

class Stopwatch {
 public:
  explicit Stopwatch(DWORD timedThread) : timedThread_(timedThread) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    ticksPerMillisecond_ = static_cast<double>(frequency.QuadPart) / 1000;
  }

  double milliseconds() const {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / ticksPerMillisecond_;
  }

  // Runs call; on the timed thread its time is added to the sum.
  template <typename Call>
  auto time(Call call) {
    if (GetCurrentThreadId() != timedThread_) return call();
    double start = milliseconds();
    auto result = call();
    total_ += milliseconds() - start;
    return result;
  }

  double total() const { return total_; }

 private:
  DWORD timedThread_;
  double ticksPerMillisecond_ = 1;
  double total_ = 0;
};

class TimedBuffer final : public IDirectSoundBuffer {
 public:
  TimedBuffer(IDirectSoundBuffer* real, Stopwatch& stopwatch) : real_(real), stopwatch_(stopwatch) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    return stopwatch_.time([&] { return real_->QueryInterface(id, object); });
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    ++references_;
    return stopwatch_.time([&] { return real_->AddRef(); });
  }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = stopwatch_.time([&] { return real_->Release(); });
    if (--references_ == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetCaps(LPDSBCAPS caps) override {
    return stopwatch_.time([&] { return real_->GetCaps(caps); });
  }
  HRESULT STDMETHODCALLTYPE GetCurrentPosition(LPDWORD play, LPDWORD write) override {
    return stopwatch_.time([&] { return real_->GetCurrentPosition(play, write); });
  }
  HRESULT STDMETHODCALLTYPE GetFormat(LPWAVEFORMATEX format, DWORD size, LPDWORD written) override {
    return stopwatch_.time([&] { return real_->GetFormat(format, size, written); });
  }
  HRESULT STDMETHODCALLTYPE GetVolume(LPLONG volume) override {
    return stopwatch_.time([&] { return real_->GetVolume(volume); });
  }
  HRESULT STDMETHODCALLTYPE GetPan(LPLONG pan) override {
    return stopwatch_.time([&] { return real_->GetPan(pan); });
  }
  HRESULT STDMETHODCALLTYPE GetFrequency(LPDWORD frequency) override {
    return stopwatch_.time([&] { return real_->GetFrequency(frequency); });
  }
  HRESULT STDMETHODCALLTYPE GetStatus(LPDWORD status) override {
    return stopwatch_.time([&] { return real_->GetStatus(status); });
  }
  HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTSOUND device, LPCDSBUFFERDESC description) override {
    return stopwatch_.time([&] { return real_->Initialize(device, description); });
  }
  HRESULT STDMETHODCALLTYPE Lock(DWORD offset, DWORD bytes, LPVOID* region1, LPDWORD bytes1, LPVOID* region2,
                                 LPDWORD bytes2, DWORD flags) override {
    return stopwatch_.time(
        [&] { return real_->Lock(offset, bytes, region1, bytes1, region2, bytes2, flags); });
  }
  HRESULT STDMETHODCALLTYPE Play(DWORD reserved, DWORD priority, DWORD flags) override {
    return stopwatch_.time([&] { return real_->Play(reserved, priority, flags); });
  }
  HRESULT STDMETHODCALLTYPE SetCurrentPosition(DWORD position) override {
    return stopwatch_.time([&] { return real_->SetCurrentPosition(position); });
  }
  HRESULT STDMETHODCALLTYPE SetFormat(LPCWAVEFORMATEX format) override {
    return stopwatch_.time([&] { return real_->SetFormat(format); });
  }
  HRESULT STDMETHODCALLTYPE SetVolume(LONG volume) override {
    return stopwatch_.time([&] { return real_->SetVolume(volume); });
  }
  HRESULT STDMETHODCALLTYPE SetPan(LONG pan) override {
    return stopwatch_.time([&] { return real_->SetPan(pan); });
  }
  HRESULT STDMETHODCALLTYPE SetFrequency(DWORD frequency) override {
    return stopwatch_.time([&] { return real_->SetFrequency(frequency); });
  }
  HRESULT STDMETHODCALLTYPE Stop() override {
    return stopwatch_.time([&] { return real_->Stop(); });
  }
  HRESULT STDMETHODCALLTYPE Unlock(LPVOID region1, DWORD bytes1, LPVOID region2, DWORD bytes2) override {
    return stopwatch_.time([&] { return real_->Unlock(region1, bytes1, region2, bytes2); });
  }
  HRESULT STDMETHODCALLTYPE Restore() override {
    return stopwatch_.time([&] { return real_->Restore(); });
  }

 private:
  IDirectSoundBuffer* real_;
  Stopwatch& stopwatch_;
  ULONG references_ = 1;
};

class TimedDevice final : public IDirectSound {
 public:
  TimedDevice(IDirectSound* real, Stopwatch& stopwatch) : real_(real), stopwatch_(stopwatch) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    return real_->QueryInterface(id, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return real_->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return real_->Release(); }
  HRESULT STDMETHODCALLTYPE CreateSoundBuffer(LPCDSBUFFERDESC description, LPLPDIRECTSOUNDBUFFER buffer,
                                              IUnknown* outer) override {
    HRESULT result = stopwatch_.time([&] { return real_->CreateSoundBuffer(description, buffer, outer); });
    if (SUCCEEDED(result) && buffer != nullptr && *buffer != nullptr)
      *buffer = new TimedBuffer(*buffer, stopwatch_);
    return result;
  }
  HRESULT STDMETHODCALLTYPE GetCaps(LPDSCAPS caps) override { return real_->GetCaps(caps); }
  HRESULT STDMETHODCALLTYPE DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER original,
                                                 LPLPDIRECTSOUNDBUFFER duplicate) override {
    return real_->DuplicateSoundBuffer(original, duplicate);
  }
  HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD level) override {
    return real_->SetCooperativeLevel(window, level);
  }
  HRESULT STDMETHODCALLTYPE Compact() override { return real_->Compact(); }
  HRESULT STDMETHODCALLTYPE GetSpeakerConfig(LPDWORD config) override {
    return real_->GetSpeakerConfig(config);
  }
  HRESULT STDMETHODCALLTYPE SetSpeakerConfig(DWORD config) override {
    return real_->SetSpeakerConfig(config);
  }
  HRESULT STDMETHODCALLTYPE Initialize(LPCGUID device) override { return real_->Initialize(device); }

 private:
  IDirectSound* real_;
  Stopwatch& stopwatch_;
};

}  // namespace vantor::bench
