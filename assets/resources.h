// The data files compiled into the executable (pictures and wave sounds),
// looked up by file name, e.g. "sprPlayer.ppm" or "wave101.wav".
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// Empty span when there is no such resource.
std::span<const uint8_t> FindResource(std::string_view name);
