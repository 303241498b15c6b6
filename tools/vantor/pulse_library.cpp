// PulseAudio's simple API, loaded when `vantor play` first calls it instead of when
// the tool starts. Linked in, the client library and the two dozen libraries it pulls
// in were loaded and relocated by every command: about 3 ms of CPU time per run, half
// the cost of rendering a short song, for a library that only play uses.
//
// The functions below are the ones of <pulse/simple.h> and <pulse/error.h> that the
// tool calls; each forwards to the library's own. When the library cannot be loaded,
// pa_simple_new fails with PA_ERR_NOTSUPPORTED and pa_strerror says why.
#include <dlfcn.h>
#include <pulse/error.h>
#include <pulse/simple.h>

#include <string>

namespace {

constexpr const char* libraryName = "libpulse-simple.so.0";

struct PulseLibrary {
  decltype(&pa_simple_new) simpleNew = nullptr;
  decltype(&pa_simple_free) simpleFree = nullptr;
  decltype(&pa_simple_write) simpleWrite = nullptr;
  decltype(&pa_simple_drain) simpleDrain = nullptr;
  decltype(&pa_simple_flush) simpleFlush = nullptr;
  decltype(&pa_simple_get_latency) simpleGetLatency = nullptr;
  decltype(&pa_strerror) errorText = nullptr;
  std::string failure;  // why it could not be loaded; empty once loaded
};

template <typename Function>
bool find(void* handle, const char* name, Function& function) {
  function = reinterpret_cast<Function>(dlsym(handle, name));
  return function != nullptr;
}

// Loaded once, on first use, from whichever thread comes first.
const PulseLibrary& pulseLibrary() {
  static const PulseLibrary library = [] {
    PulseLibrary loaded;
    // Searched from the library and the libraries it needs, so these are its own
    // functions and not the ones in this file.
    void* handle = dlopen(libraryName, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      const char* reason = dlerror();
      loaded.failure = std::string("cannot load ") + libraryName + (reason ? std::string(": ") + reason : "");
      return loaded;
    }
    bool complete = find(handle, "pa_simple_new", loaded.simpleNew) &&
                    find(handle, "pa_simple_free", loaded.simpleFree) &&
                    find(handle, "pa_simple_write", loaded.simpleWrite) &&
                    find(handle, "pa_simple_drain", loaded.simpleDrain) &&
                    find(handle, "pa_simple_flush", loaded.simpleFlush) &&
                    find(handle, "pa_simple_get_latency", loaded.simpleGetLatency) &&
                    find(handle, "pa_strerror", loaded.errorText);
    if (!complete) loaded.failure = std::string(libraryName) + " lacks a function vantor needs";
    return loaded;
  }();
  return library;
}

}  // namespace

extern "C" {

pa_simple* pa_simple_new(const char* server, const char* name, pa_stream_direction_t direction,
                         const char* device, const char* streamName, const pa_sample_spec* format,
                         const pa_channel_map* channels, const pa_buffer_attr* attributes, int* error) {
  const PulseLibrary& library = pulseLibrary();
  if (!library.failure.empty()) {
    if (error != nullptr) *error = PA_ERR_NOTSUPPORTED;
    return nullptr;
  }
  return library.simpleNew(server, name, direction, device, streamName, format, channels, attributes, error);
}

// The functions below are only reached with a stream that pa_simple_new made, so the
// library is loaded.
void pa_simple_free(pa_simple* stream) { pulseLibrary().simpleFree(stream); }

int pa_simple_write(pa_simple* stream, const void* data, size_t bytes, int* error) {
  return pulseLibrary().simpleWrite(stream, data, bytes, error);
}

int pa_simple_drain(pa_simple* stream, int* error) { return pulseLibrary().simpleDrain(stream, error); }

int pa_simple_flush(pa_simple* stream, int* error) { return pulseLibrary().simpleFlush(stream, error); }

pa_usec_t pa_simple_get_latency(pa_simple* stream, int* error) {
  return pulseLibrary().simpleGetLatency(stream, error);
}

const char* pa_strerror(int error) {
  const PulseLibrary& library = pulseLibrary();
  return library.failure.empty() ? library.errorText(error) : library.failure.c_str();
}

}  // extern "C"
