#include "app/main_form.h"

#include "game/tick.h"

void Form_Load(Game& g, std::string_view exeFolder) {
  (void)exeFolder;
  // Until the title screen exists: lay the star strip into the background
  // and run the frame timer so the star field scrolls.
  BitBlt(g.gfx.bufTiles, 0, 0, 600, 400, g.gfx.sprStars, 0, 0, SRCCOPY);
  g.host.SetTimerEnabled(TimerId::ScrollText, false);
  g.host.SetTimerEnabled(TimerId::Main, true);
}

void Form_Unload(Game& g) { (void)g; }

void UnloadMainForm(Game& g) {
  Form_Unload(g);
  g.host.Quit();
}

void MainForm::OnEvent(const Event& e) {
  switch (e.type) {
    case Event::Type::Close:
      UnloadMainForm(g_);
      break;
    case Event::Type::KeyDown:
      if (e.key == VK_ESCAPE) UnloadMainForm(g_);
      break;
    default:
      break;
  }
}

void MainForm::OnTimer(TimerId id) {
  if (id == TimerId::Main) tmrMain_Timer(g_);
}
