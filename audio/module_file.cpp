#include "audio/module_file.h"

#include <cstdio>
#include <filesystem>
#include <libopenmpt/libopenmpt.hpp>
#include <ostream>
#include <vector>

namespace {
constexpr int kStereoSeparation = 50;
}  // namespace

std::unique_ptr<openmpt::module> LoadModuleFile(const char* path) {
  if (path == nullptr || *path == '\0') return nullptr;
  // Only a regular file: opening a pipe or a device could block for ever.
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return nullptr;
  const auto size = std::filesystem::file_size(path, error);
  if (error || size == 0 || size > kMaxModuleFileSize) return nullptr;
  std::vector<char> bytes(static_cast<size_t>(size));
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return nullptr;
  const size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
  if (got == 0) return nullptr;
  bytes.resize(got);
  try {
    std::ostream quiet(nullptr);  // the library's load messages go nowhere
    auto module = std::make_unique<openmpt::module>(bytes, quiet);
    // The mixer owns the looping: the song must never end or fade by itself.
    module->set_repeat_count(-1);
    // Hard left and right channels tire the ear; keep them nearer the middle.
    module->set_render_param(openmpt::module::RENDER_STEREOSEPARATION_PERCENT, kStereoSeparation);
    if (module->get_num_orders() <= 0) return nullptr;
    return module;
  } catch (...) {
    return nullptr;
  }
}
