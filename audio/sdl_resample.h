// Sample-rate conversion through SDL's audio converter, a band-limited
// (windowed-sinc) resampler. Needs no SDL_Init, so tests and tools use it too.
#pragma once

#include <cstddef>
#include <vector>

// Called by ConvertWave when an effect is converted at load. Puts count mono
// samples at from Hz into out at to Hz, count * to / from samples rounded up,
// the first at the same instant as the first in. False, and out empty, when
// SDL cannot convert.
bool ResampleMono(const float* in, size_t count, int from, int to, std::vector<float>& out);
