#include "app/link.h"

const char* const kLinkAddress = "https://example.org/";
void Form_MouseMove(Game&, int16_t, float, float) {}
void Form_MouseDown(Game&, int16_t, int16_t, float, float) {}
