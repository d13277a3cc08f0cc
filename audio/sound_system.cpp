#include "audio/sound_system.h"

#if defined(__linux__)
#include <dlfcn.h>

#if __has_include(<pulse/pulseaudio.h>)
#include <pulse/pulseaudio.h>

namespace {
// Called with the answer; the caller's callback came as the user data.
void AnswerWithEmptyNames(pa_context* context, const pa_server_info* info, void* callback) {
  const auto answer = reinterpret_cast<pa_server_info_cb_t>(callback);
  if (info == nullptr) return answer(context, info, nullptr);
  pa_server_info named = *info;
  if (named.default_sink_name == nullptr) named.default_sink_name = "";
  if (named.default_source_name == nullptr) named.default_source_name = "";
  answer(context, &named, nullptr);
}
}  // namespace

extern "C" pa_operation* pa_context_get_server_info(pa_context* context, pa_server_info_cb_t callback,
                                                    void* user) {
  using Ask = pa_operation* (*)(pa_context*, pa_server_info_cb_t, void*);
  static const auto ask = reinterpret_cast<Ask>(dlsym(RTLD_NEXT, "pa_context_get_server_info"));
  if (ask == nullptr) return nullptr;
  // SDL passes no user data; the slot then carries its callback, so nothing
  // is stored between the question and the answer.
  if (user != nullptr || callback == nullptr) return ask(context, callback, user);
  return ask(context, &AnswerWithEmptyNames, reinterpret_cast<void*>(callback));
}
#endif

namespace sound_system {
namespace {
// ALSA's error handler, dropping what it is given.
void DropAlsaError(const char*, int, const char*, int, const char*, ...) {}
}  // namespace

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
void QuietAlsa() {}
}  // namespace sound_system

#endif
