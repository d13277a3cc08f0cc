// Loading a tracker module file for the mixer. No SDL here.
#pragma once

#include <cstddef>
#include <memory>

namespace openmpt {
class module;
}

// Files larger than this are no music of ours: refused before parsing, so a
// wrong file costs no more start-up time than the right one.
constexpr size_t kMaxModuleFileSize = 4u << 20;

// The module in the file, set up to be played by AudioMixer; null when the
// file is missing, not a regular file, too large or not a module. Never
// throws and writes no message.
std::unique_ptr<openmpt::module> LoadModuleFile(const char* path);
