#include "app/input.h"

#include "app/event_loop.h"
#include "app/main_form.h"

// Placeholder until the key tables exist: Escape quits.
void Form_KeyDown(Game& g, int16_t key, int16_t) {
  if (key == VK_ESCAPE) UnloadMainForm(g);
}
void Form_KeyUp(Game&, int16_t, int16_t) {}
