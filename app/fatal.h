// The message that ends the game when it cannot go on.
#pragma once

// Called by main and the platform just before the game exits non-zero: the
// line goes to stderr, prefixed with the program's name, and on Windows, where
// a game started from its icon has no console, to a message box as well.
void ReportFatal(const char* message);
