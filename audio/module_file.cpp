#include "audio/module_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <libopenmpt/libopenmpt.hpp>
#include <ostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#endif

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
// broken music. Only ProTracker-style files are judged here; the library
// judges every other format.
bool IsCutShortMod(const std::vector<char>& b) {
  const int channels = ModChannels(b);
  if (channels == 0) return false;
  auto byte = [&](size_t i) { return static_cast<size_t>(static_cast<unsigned char>(b[i])); };
  size_t size = 1084;
  for (size_t s = 0; s < 31; ++s)
    size += 2 * (byte(20 + 30 * s + 22) << 8 | byte(20 + 30 * s + 23));
  size_t patterns = 0;
  for (size_t i = 0; i < 128; ++i) patterns = std::max(patterns, byte(952 + i) + 1);
  size += patterns * 64 * static_cast<size_t>(channels) * 4;
  return b.size() < size;
}

#ifdef _WIN32
// A path of MAX_PATH characters or more opens, where the system does not
// allow long paths to every program, only in the long form (\\?\C:\... or
// \\?\UNC\server\...), which Windows takes literally: so it is made full,
// with backslashes, first. Shorter paths stay as they are.
std::wstring LongForm(const std::wstring& path) {
  if (path.size() < MAX_PATH || path.rfind(L"\\\\?\\", 0) == 0) return path;
  const DWORD n = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return path;
  std::wstring full(n, L'\0');
  const DWORD got = ::GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
  if (got == 0 || got >= n) return path;
  full.resize(got);
  if (full.rfind(L"\\\\.\\", 0) == 0) return full;  // a device: taken literally already
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

// The path is UTF-8; Windows' narrow open would take it in the ANSI code page
// (and read in text mode), so a game in a folder named in another script
// would have no music.
int OpenForReading(const char* path) {
  const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
  if (n <= 0) return -1;
  std::wstring wide(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide.data(), n);
  wide.resize(static_cast<size_t>(n - 1));  // without the terminator counted in n
  return ::_wopen(LongForm(wide).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}
using FileStatus = struct _stat64;
int StatusOf(int fd, FileStatus& st) { return ::_fstat64(fd, &st); }
#else
int OpenForReading(const char* path) {
  return ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
}
using FileStatus = struct stat;
int StatusOf(int fd, FileStatus& st) { return ::fstat(fd, &st); }
#endif

// Opens first and checks what was opened, so nothing can be swapped in
// between: the open does not wait for a writer (a pipe), and only a regular
// file of a plausible size is read. Empty when there is nothing to play.
std::vector<char> ReadModuleBytes(const char* path) {
  const int fd = OpenForReading(path);
  if (fd < 0) return {};
  std::vector<char> bytes;
  FileStatus st{};
  if (StatusOf(fd, st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
      static_cast<unsigned long long>(st.st_size) <= kMaxModuleFileSize) {
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t got = 0;
    while (got < bytes.size()) {
      const auto n = ::read(fd, bytes.data() + got, static_cast<unsigned>(bytes.size() - got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;  // cut short meanwhile: what was read is judged below
      got += static_cast<size_t>(n);
    }
    bytes.resize(got);
  }
  ::close(fd);
  return bytes;
}

}  // namespace

std::unique_ptr<openmpt::module> LoadModuleFile(const char* path) {
  if (path == nullptr || *path == '\0') return nullptr;
  const std::vector<char> bytes = ReadModuleBytes(path);
  if (bytes.empty() || IsCutShortMod(bytes)) return nullptr;
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
