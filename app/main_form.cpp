#include "app/main_form.h"

#include <chrono>
#include <string>

#include "app/input.h"
#include "app/link.h"
#include "display/banner.h"
#include "display/title.h"
#include "game/flow.h"
#include "game/music.h"
#include "game/tick.h"

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif
constexpr std::string_view kMusicFile = "Kestrane.snd";

// A root folder already ends in a separator; every other folder gets one.
std::string MusicFilePath(std::string_view folder) {
  std::string path(folder);
  if (!path.empty() && path.back() != kSeparator && path.back() != '/') path += kSeparator;
  path += kMusicFile;
  return path;
}

uint32_t ClockSeed() {
  const auto ticks = std::chrono::system_clock::now().time_since_epoch().count();
  return static_cast<uint32_t>(ticks ^ (ticks >> 32));
}

}  // namespace

void Form_Load(Game& g, std::optional<std::string_view> exeFolder,
               const std::function<void()>& musicLoaded) {
  World& w = g.world;
  g.random.Seed(ClockSeed());
  const std::string caption = "Kestrane v" + std::to_string(KESTRANE_VERSION_MAJOR) + "." +
                              std::to_string(KESTRANE_VERSION_MINOR);
  g.host.window.SetCaption(caption.c_str());
  // Without the executable's folder there is no music: a path relative to
  // the working directory could load any file of that name.
  w.MusicPath = exeFolder ? MusicFilePath(*exeFolder) : std::string();
  InitMusic(g);
  if (musicLoaded) musicLoaded();
  w.GameRunning = false;
  w.SoundOn = true;
  w.MusicOn = true;
  // The surfaces were loaded before the window was made; nothing to create.
  PlaySection(g, kTitleMusic);
  w.Lives = kStartLives;
  ShowTitleScreen(g);
}

void Form_Unload(Game& g) {
  if (g.MusicModule != 0) StopMusic(g, true);
  CloseMusic(g);
}

void UnloadMainForm(Game& g) {
  Form_Unload(g);
  g.host.Quit();
}

void MainForm::OnEvent(const Event& e) {
  switch (e.type) {
    case Event::Type::KeyDown:
      Form_KeyDown(g_, e.key, e.shift);
      break;
    case Event::Type::KeyUp:
      Form_KeyUp(g_, e.key, e.shift);
      break;
    case Event::Type::MouseMove:
      Form_MouseMove(g_, e.shift, e.x, e.y);
      break;
    case Event::Type::MouseDown:
      Form_MouseDown(g_, e.button, e.shift, e.x, e.y);
      break;
    case Event::Type::Close:
      UnloadMainForm(g_);
      break;
  }
}

void MainForm::OnTimer(TimerId id) {
  if (id == TimerId::Main) {
    tmrMain_Timer(g_);
  } else {
    tmrScrollText_Timer(g_);
  }
}
