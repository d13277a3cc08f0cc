#include "audio/sound_system.h"

#if defined(__linux__) && __has_include(<pulse/pulseaudio.h>)
#include <dlfcn.h>
#include <pulse/pulseaudio.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <type_traits>

namespace sound_system {
namespace {

// The few libpulse calls the question needs, looked up at run time so the
// game never depends on libpulse being installed.
struct Pulse {
  decltype(&pa_mainloop_new) mainloopNew;
  decltype(&pa_mainloop_get_api) mainloopApi;
  decltype(&pa_mainloop_prepare) prepare;
  decltype(&pa_mainloop_poll) poll;
  decltype(&pa_mainloop_dispatch) dispatch;
  decltype(&pa_mainloop_free) mainloopFree;
  decltype(&pa_context_new) contextNew;
  decltype(&pa_context_connect) connect;
  decltype(&pa_context_get_state) state;
  decltype(&pa_context_get_server_info) serverInfo;
  decltype(&pa_context_disconnect) disconnect;
  decltype(&pa_context_unref) contextUnref;
  decltype(&pa_operation_unref) operationUnref;

  bool Load() {
    // Kept loaded: SDL loads the same library, and loading is done once.
    void* lib = dlopen("libpulse.so.0", RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) return false;
    bool all = true;
    auto get = [&](auto& fn, const char* name) {
      fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(lib, name));
      all = all && fn != nullptr;
    };
    get(mainloopNew, "pa_mainloop_new");
    get(mainloopApi, "pa_mainloop_get_api");
    get(prepare, "pa_mainloop_prepare");
    get(poll, "pa_mainloop_poll");
    get(dispatch, "pa_mainloop_dispatch");
    get(mainloopFree, "pa_mainloop_free");
    get(contextNew, "pa_context_new");
    get(connect, "pa_context_connect");
    get(state, "pa_context_get_state");
    get(serverInfo, "pa_context_get_server_info");
    get(disconnect, "pa_context_disconnect");
    get(contextUnref, "pa_context_unref");
    get(operationUnref, "pa_operation_unref");
    return all;
  }
};

// ALSA's error handler, dropping what it is given.
void DropAlsaError(const char*, int, const char*, int, const char*, ...) {}

enum class Answer { Waiting, NoServer, NoOutput, Output };

// Whether SDL, left to choose, would try PulseAudio.
bool SdlMayUsePulse() {
  const char* driver = std::getenv("SDL_AUDIODRIVER");
  return driver == nullptr || *driver == '\0' || std::strstr(driver, "pulse") != nullptr;
}

}  // namespace

bool MayStartSdlAudio() {
  if (!SdlMayUsePulse()) return true;
  static Pulse pulse;
  static const bool loaded = pulse.Load();
  if (!loaded) return true;  // then SDL finds no PulseAudio either

  pa_mainloop* loop = pulse.mainloopNew();
  if (loop == nullptr) return false;
  pa_context* context = pulse.contextNew(pulse.mainloopApi(loop), "kestrane");
  Answer answer = Answer::Waiting;
  if (context == nullptr ||
      pulse.connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    answer = Answer::NoServer;
  }
  bool asked = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
  while (answer == Answer::Waiting) {
    const pa_context_state_t state = pulse.state(context);
    if (!PA_CONTEXT_IS_GOOD(state)) {
      answer = Answer::NoServer;
      break;
    }
    if (state == PA_CONTEXT_READY && !asked) {
      asked = true;
      pa_operation* op = pulse.serverInfo(
          context,
          [](pa_context*, const pa_server_info* info, void* out) {
            *static_cast<Answer*>(out) =
                info != nullptr && info->default_sink_name != nullptr &&
                        info->default_source_name != nullptr
                    ? Answer::Output
                    : Answer::NoOutput;
          },
          &answer);
      if (op == nullptr) {
        answer = Answer::NoOutput;
        break;
      }
      pulse.operationUnref(op);
    }
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      answer = Answer::NoOutput;  // a server that does not answer holds SDL too
      break;
    }
    if (pulse.prepare(loop, static_cast<int>(left.count())) < 0 || pulse.poll(loop) < 0 ||
        pulse.dispatch(loop) < 0) {
      answer = Answer::NoServer;
    }
  }
  if (context != nullptr) {
    pulse.disconnect(context);
    pulse.contextUnref(context);
  }
  pulse.mainloopFree(loop);
  return answer != Answer::NoOutput;
}

void QuietAlsa() {
  static bool quiet = false;
  if (quiet) return;
  // Only once SDL has loaded it; kept loaded from then on, so the handler
  // stays whatever SDL does with the library.
  void* lib = dlopen("libasound.so.2", RTLD_NOW | RTLD_NOLOAD);
  if (lib == nullptr) return;
  // The type of ALSA's snd_lib_error_handler_t, whose header is not needed
  // for this one call.
  using Handler = decltype(&DropAlsaError);
  auto set = reinterpret_cast<int (*)(Handler)>(dlsym(lib, "snd_lib_error_set_handler"));
  if (set != nullptr) set(&DropAlsaError);
  quiet = true;
}

}  // namespace sound_system

#else

namespace sound_system {
bool MayStartSdlAudio() { return true; }
void QuietAlsa() {}
}  // namespace sound_system

#endif
