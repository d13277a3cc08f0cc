// Keys from the browser page's on-screen controls (phones and tablets). The
// page calls kestrane_touch_key from its pointer handlers while the game
// sleeps; the platform hands the keys to the game as the keyboard's and the
// game controller's: the same virtual-key codes, key down and key up.
#pragma once

#include "app/event_loop.h"

// Called by SdlPlatform::WaitEvent before it looks at SDL's queue: the
// oldest touch key as a key event; false when none is waiting.
bool TakeTouchKey(Event& e);

extern "C" {
// Called by the page: `key`, the virtual-key code of one of the game's keys
// (Space, the arrows, Escape, M, S), pressed (down != 0) or let go. Any other
// code is ignored.
void kestrane_touch_key(int key, int down);
}
