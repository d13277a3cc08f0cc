#include "app/main_form.h"

#include "app/input.h"
#include "app/link.h"
#include "display/banner.h"
#include "display/title.h"
#include "game/tick.h"

void Form_Load(Game& g, std::string_view exeFolder) {
  (void)exeFolder;
  // A plain title state so Space can start a game; music and caption come
  // with the full start-up.
  g.world.GameRunning = false;
  g.world.SoundOn = true;
  g.world.MusicOn = true;
  g.world.Lives = 3;
  ShowTitleScreen(g);
}

void Form_Unload(Game& g) { (void)g; }

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
