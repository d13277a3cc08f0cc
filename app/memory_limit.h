// A process-wide bound on memory for the length of one job: set at start-up
// around the music load. No SDL here.
#pragma once

#include <cstddef>

#ifdef __linux__
#include <sys/resource.h>
#endif

// While it lives, the process may map no more than budget bytes of data
// beyond what it holds now. A few bytes of a music file can declare gigabytes
// (a packed container's unpacked size, a sample's length) that the module
// library would allocate and zero-fill before finding nothing in them; past
// the budget its allocations fail at once, and it gives up on the file or
// drops the sample. The limit is the process's, every thread's, so it is
// taken only while no other thread runs. Linux bounds the data segment;
// Windows the memory committed, through a job the process puts itself in;
// elsewhere nothing.
class MemoryLimit {
 public:
  explicit MemoryLimit(size_t budget);
  ~MemoryLimit();
  MemoryLimit(const MemoryLimit&) = delete;
  MemoryLimit& operator=(const MemoryLimit&) = delete;

 private:
#ifdef __linux__
  rlimit saved_{};
  bool active_ = false;
#endif
#ifdef _WIN32
  void* job_ = nullptr;
#endif
};
