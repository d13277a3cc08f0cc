// What the system's sound libraries below SDL need from the game, asked of
// them directly. Linux only; elsewhere both calls do nothing.
#pragma once

namespace sound_system {

// False only when a PulseAudio server answers and names no default output
// (or source), or does not answer within half a second: the state in which
// the PulseAudio driver of SDL 2.26 (Debian 12's) dies while it starts, and
// a frozen server would hold it. True when no such server runs, or
// SDL_AUDIODRIVER names another driver. Called by the device keeper before
// each start of SDL's audio; loads libpulse for the question, if present.
bool MayStartSdlAudio();

// Hands ALSA's error lines (a missing sound card, printed on every failed
// open) to a handler that drops them, once SDL has loaded libasound. Called
// by the device keeper after each start of SDL's audio.
void QuietAlsa();

}  // namespace sound_system
