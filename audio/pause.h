// The timed pause of the title reveal and the death sequence.
#pragma once

#include <cstdint>

#include "app/host.h"

// Returns once at least ms milliseconds have passed, handling every window
// event (input, timer ticks) at once while it waits. 0 returns at once
// without dispatching. Correct across the 32-bit clock wrap.
void Pause(Host& host, uint32_t ms);
