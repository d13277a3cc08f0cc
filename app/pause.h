// The timed pause of the title reveal and the death sequence: event-loop
// machinery, reached by game and display code through Host::Pause.
#pragma once

#include <cstdint>

#include "game/host.h"

// Returns once at least ms milliseconds have passed, handling every window
// event (input, timer ticks) at once while it waits. 0 returns at once
// without dispatching. Correct across the 32-bit clock wrap.
void Pause(Host& host, uint32_t ms);
