// The kestrane executable: the SDL window, the audio device and the game.
#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

#include "app/event_loop.h"
#include "app/fatal.h"
#include "app/main_form.h"
#include "app/memory_limit.h"
#include "app/sdl_platform.h"
#include "assets/resources.h"
#include "assets/surfaces.h"
#include "audio/module_file.h"
#include "audio/sdl_audio.h"

#ifdef __EMSCRIPTEN__
EM_JS(void, kestrane_play_changed, (int playing), {
  if (Module['onPlayChanged']) Module['onPlayChanged'](playing !== 0);
});

namespace {
// The page takes a new version of the site only out of a game, so it is
// told each time play starts and ends (the last ship lost, or Escape to the
// title): looked at after every event and timer tick, nested ones included.
class PlayReport : public Handlers {
 public:
  PlayReport(Handlers& form, const World& w) : form_(form), w_(w) {}
  void OnEvent(const Event& e) override {
    form_.OnEvent(e);
    Report();
  }
  void OnTimer(TimerId id) override {
    form_.OnTimer(id);
    Report();
  }

 private:
  void Report() {
    const bool playing = w_.GameRunning || w_.DeathSequenceRunning;
    if (playing == reported_) return;
    reported_ = playing;
    kestrane_play_changed(playing);
  }
  Handlers& form_;
  const World& w_;
  bool reported_ = false;
};
}  // namespace
#endif

int main(int, char**) {
  std::string error;
  std::unique_ptr<SdlPlatform> platform = SdlPlatform::Create(error);
  if (!platform) {
    ReportFatal(error.c_str());
    return 1;
  }
  static Surfaces gfx;  // large; kept off the stack
  const std::string bad = LoadSurfaces(gfx, platform->Format());
  if (!bad.empty()) {
    ReportFatal(("the built-in picture " + bad + " is damaged").c_str());
    return 1;
  }
  platform->SetIcon(gfx.icon);

  EventLoop loop(*platform);
  // Without an audio device the game plays on in silence, and has sound as
  // soon as one can be opened. It opens once the music is loaded: no other
  // thread runs under the load's memory cap.
  SdlAudio audio(SdlAudio::When::OpenLater);
  for (const char* wave : {"wave101.wav", "wave102.wav"}) {
    const auto bytes = FindResource(wave);
    audio.Effects().Prepare(bytes.data(), bytes.size());
  }
  DefaultRandom random;
  Game game(gfx, loop, audio.Player(), audio.Effects(), random);
  MainForm form(game);
#ifdef __EMSCRIPTEN__
  PlayReport report(form, game.world);
  loop.SetHandlers(&report);
#else
  loop.SetHandlers(&form);
#endif

  // No executable folder (its path too long, say): no music, never a file of
  // the working directory.
  char* base = SDL_GetBasePath();
  std::optional<std::string> exeFolder;
  if (base != nullptr) exeFolder = base;
  SDL_free(base);
  try {
    // The music is loaded under a bound on the memory it may take; the bound
    // is the whole process's, so it ends before the device opens its threads.
    std::optional<MemoryLimit> loadLimit(std::in_place, kMaxModuleMemory);
    Form_Load(game, exeFolder ? std::optional<std::string_view>(*exeFolder) : std::nullopt,
              [&audio, &loadLimit] {
                loadLimit.reset();
                audio.OpenDevice();
              });
    platform->ShowWindow();
    loop.Run();
  } catch (const ProgramExit&) {
  }
#ifdef __EMSCRIPTEN__
  // The page outlives the game: close the audio device and the canvas's
  // handlers on the way out, then let the page offer another game.
  EM_ASM(setTimeout(function() { if (Module['onGameEnded']) Module['onGameEnded'](); }););
  return 0;
#else
  // The one way out, in this order: the game takes no more commands (its
  // loop has ended); the device stops, within kDeviceStopBound whatever the
  // driver or the sound server does; the seeking thread ends, or is left
  // inside a seek that may take long. Then the process leaves at once,
  // without destructors: none can run under a thread left behind, and the
  // window stays for the system to take down (destroying it ourselves can
  // cross SDL's own wake-up message to it on a second display connection,
  // which Xlib turns into exit code 1).
  constexpr std::chrono::milliseconds kDeviceStopBound{500};
  audio.Quit(kDeviceStopBound);
  std::fflush(nullptr);
  std::_Exit(0);
#endif
}
