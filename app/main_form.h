// The main window's life cycle and the wiring of its events to the handlers.
#pragma once

#include <functional>
#include <optional>
#include <string_view>

#include "app/event_loop.h"
#include "game/game.h"

// Called once before the window is shown; ends on the finished title screen.
// exeFolder is the folder holding the executable (with or without a trailing
// separator), where the music file lies; none when it cannot be found, and
// then the game plays without music. musicLoaded, when given, runs once the
// music is loaded and before anything plays: the audio device opens there,
// so that the load, under its memory cap, has the process to itself.
void Form_Load(Game& g, std::optional<std::string_view> exeFolder,
               const std::function<void()>& musicLoaded = {});

// Called when the window is being closed (Escape on the title screen or the
// window's close command): shuts the music down. The caller then ends the
// program with Host::Quit.
void Form_Unload(Game& g);

// Form_Unload, then Host::Quit: the one way out of the program. Does not
// return (Host::Quit throws ProgramExit).
void UnloadMainForm(Game& g);

// Routes the event loop's events and timer ticks to the window's handlers.
class MainForm : public Handlers {
 public:
  explicit MainForm(Game& g) : g_(g) {}
  void OnEvent(const Event& e) override;
  void OnTimer(TimerId id) override;

 private:
  Game& g_;
};
