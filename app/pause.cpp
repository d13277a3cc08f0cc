#include "app/pause.h"

// Instead of spinning on the clock, wait on the event queue for no longer
// than the time left: same behaviour, next to no processor time.
void Pause(Host& host, uint32_t ms) {
  const uint32_t start = host.Now();
  for (;;) {
    const uint32_t elapsed = host.Now() - start;
    if (elapsed >= ms) return;
    host.DispatchPending(ms - elapsed);
  }
}
