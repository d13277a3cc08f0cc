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
// The most memory a load should be allowed to add to the process, whatever
// sizes the file declares: several times what any module of that file size
// needs. The caller sets the bound (app/memory_limit.h at start-up).
constexpr size_t kMaxModuleMemory = 48u << 20;

// Called by the module player when the game loads its music. The module in
// the file, set up to be played by AudioMixer; null when the file is missing,
// not a regular file, too large, not a module, or needs more memory than the
// caller's bound allows (a sample the library cannot fit in it is left out
// of the module instead). Never blocks on what it opens, never throws and
// writes no message.
std::unique_ptr<openmpt::module> LoadModuleFile(const char* path);
