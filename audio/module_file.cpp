#include "audio/module_file.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <libopenmpt/libopenmpt.hpp>
#include <ostream>
#include <string>
#include <vector>

namespace {
constexpr int kStereoSeparation = 50;
// The music alone peaks under the mixer's limit (at about -4 dBFS), so the
// limit only ever bends an effect over a loud bar.
constexpr int kGainMillibel = 100;

// ProTracker-style modules: channels from the tag at byte 1080, 0 if none.
int ModChannels(const std::vector<char>& b) {
  if (b.size() < 1084) return 0;
  const std::string tag(b.data() + 1080, 4);
  if (tag == "M.K." || tag == "M!K!" || tag == "FLT4" || tag == "4CHN") return 4;
  if (tag == "FLT8") return 8;
  auto digit = [](char c) { return c >= '0' && c <= '9' ? c - '0' : -1; };
  if (tag.substr(1) == "CHN" && digit(tag[0]) > 0) return digit(tag[0]);
  if (tag.substr(2) == "CH" && digit(tag[0]) >= 0 && digit(tag[1]) >= 0) {
    return digit(tag[0]) * 10 + digit(tag[1]);
  }
  return 0;
}

// The library plays a module cut short as far as it goes, with notes and
// samples missing. A file that is not whole is damaged: no music rather than
// broken music.
bool WholeIfMod(const std::vector<char>& b) {
  const int channels = ModChannels(b);
  if (channels == 0) return true;  // another format: the library judges it
  auto byte = [&](size_t i) { return static_cast<size_t>(static_cast<unsigned char>(b[i])); };
  size_t size = 1084;
  for (size_t s = 0; s < 31; ++s)
    size += 2 * (byte(20 + 30 * s + 22) << 8 | byte(20 + 30 * s + 23));
  size_t patterns = 0;
  for (size_t i = 0; i < 128; ++i) patterns = std::max(patterns, byte(952 + i) + 1);
  size += patterns * 64 * static_cast<size_t>(channels) * 4;
  return b.size() >= size;
}
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
  if (!WholeIfMod(bytes)) return nullptr;
  try {
    std::ostream quiet(nullptr);  // the library's load messages go nowhere
    auto module = std::make_unique<openmpt::module>(bytes, quiet);
    // The mixer owns the looping: the song must never end or fade by itself.
    module->set_repeat_count(-1);
    // Hard left and right channels tire the ear; keep them nearer the middle.
    module->set_render_param(openmpt::module::RENDER_STEREOSEPARATION_PERCENT, kStereoSeparation);
    module->set_render_param(openmpt::module::RENDER_MASTERGAIN_MILLIBEL, kGainMillibel);
    if (module->get_num_orders() <= 0) return nullptr;
    return module;
  } catch (...) {
    return nullptr;
  }
}
