#include "app/fatal.h"

#include <SDL.h>

#include <cstdio>

void ReportFatal(const char* message) {
  std::fprintf(stderr, "kestrane: %s\n", message);
#ifdef _WIN32
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Kestrane", message, nullptr);
#endif
}
