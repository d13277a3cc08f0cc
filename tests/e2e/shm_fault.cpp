// Preloaded into the game by desktops_e2e.sh: once the file named by
// SHM_FAULT_FILE exists, shmget fails as on a system out of shared memory
// segments, so the game meets the fault after it has started.
#include <dlfcn.h>
#include <sys/shm.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern "C" int shmget(key_t key, size_t size, int flags) {
  const char* file = std::getenv("SHM_FAULT_FILE");
  if (file != nullptr && access(file, F_OK) == 0) {
    errno = ENOSPC;
    return -1;
  }
  using Shmget = int (*)(key_t, size_t, int);
  static const Shmget real = reinterpret_cast<Shmget>(dlsym(RTLD_NEXT, "shmget"));
  return real(key, size, flags);
}
