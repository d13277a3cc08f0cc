#include "app/memory_limit.h"

#include <algorithm>
#include <cstdio>

#ifdef _WIN32
#include <windows.h>
// After windows.h, whose types it takes.
#include <psapi.h>
#endif

namespace {
#ifdef __linux__
// The private writable memory mapped now, as the limit counts it.
long long DataBytes() {
  std::FILE* status = std::fopen("/proc/self/status", "re");
  if (status == nullptr) return -1;
  long long kib = -1;
  char line[128];
  while (std::fgets(line, sizeof line, status) != nullptr) {
    if (std::sscanf(line, "VmData: %lld kB", &kib) == 1) break;
  }
  std::fclose(status);
  return kib < 0 ? -1 : kib * 1024;
}
#endif

#ifdef _WIN32
// The job the process joins once, for good: a process cannot leave one.
// Programs it starts (the browser for the page's link) break away from it
// silently, so no limit of ours ever reaches them.
HANDLE OwnJob() {
  const HANDLE job = ::CreateJobObjectW(nullptr, nullptr);
  if (job == nullptr) return nullptr;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK;
  if (!::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) ||
      !::AssignProcessToJobObject(job, ::GetCurrentProcess())) {
    ::CloseHandle(job);
    return nullptr;
  }
  return job;
}

JOBOBJECT_EXTENDED_LIMIT_INFORMATION Limits(HANDLE job) {
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  ::QueryInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits,
                              nullptr);
  return limits;
}
#endif
}  // namespace

MemoryLimit::MemoryLimit([[maybe_unused]] size_t budget) {
#ifdef _WIN32
  static const HANDLE job = OwnJob();
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  if (job == nullptr ||
      !::GetProcessMemoryInfo(::GetCurrentProcess(),
                              reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof counters)) {
    return;
  }
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = Limits(job);
  limits.BasicLimitInformation.LimitFlags |= JOB_OBJECT_LIMIT_PROCESS_MEMORY;
  limits.ProcessMemoryLimit = counters.PrivateUsage + budget;
  if (::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
    job_ = job;
  }
#endif
#ifdef __linux__
  const long long held = DataBytes();
  if (held < 0 || ::getrlimit(RLIMIT_DATA, &saved_) != 0) return;
  const rlim_t limit = static_cast<rlim_t>(held) + budget;
  if (saved_.rlim_cur != RLIM_INFINITY && saved_.rlim_cur <= limit) return;
  rlimit bounded = saved_;
  bounded.rlim_cur = std::min(limit, saved_.rlim_max);
  active_ = ::setrlimit(RLIMIT_DATA, &bounded) == 0;
#endif
}

MemoryLimit::~MemoryLimit() {
#ifdef __linux__
  if (active_) ::setrlimit(RLIMIT_DATA, &saved_);
#endif
#ifdef _WIN32
  if (job_ == nullptr) return;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = Limits(job_);
  limits.BasicLimitInformation.LimitFlags &= ~static_cast<DWORD>(JOB_OBJECT_LIMIT_PROCESS_MEMORY);
  ::SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits);
#endif
}
