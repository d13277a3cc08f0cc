// What the sound libraries below SDL need from the game. Linux only;
// elsewhere there is nothing to do.
//
// The file also answers every question SDL asks the PulseAudio server about
// its defaults (pa_context_get_server_info, which SDL's driver calls from
// libpulse and this program's own definition takes over): a server without
// an output names none, and SDL 2.26, Debian 12's, reads that name as a
// string and dies, at its start and in its watcher of the server's devices.
// Here such a server names an empty one instead, which matches no device:
// SDL then starts and finds nothing to open, as on any silent machine.
#pragma once

namespace sound_system {

// Hands ALSA's error lines (a missing sound card, printed on every failed
// open) to a handler that drops them, once SDL has loaded libasound. Called
// by the device keeper after each start of SDL's audio.
void QuietAlsa();

}  // namespace sound_system
