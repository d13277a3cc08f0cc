// Preloaded into the game by desktops_e2e.sh to make shared memory fail:
// - SHM_FAULT_FILE=path: once the file exists, shmget fails, as on a system
//   out of segments, so the game meets the fault after it has started;
// - SHM_FAULT_FOREIGN set: no segment the game makes is the one the X
//   server attaches (the game maps a stand-in of its own), as with a server
//   in another IPC namespace where the id names another program's segment.
#include <dlfcn.h>
#include <sys/shm.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

template <typename F>
F Real(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

// Segment ids handed out, each with the stand-in the game maps instead.
struct Foreign {
  int id = -1, standIn = -1;
};
Foreign foreign[8];

// The entry of a segment id; -1 finds a free entry.
Foreign* Find(int id) {
  for (Foreign& f : foreign) {
    if (f.id == id) return &f;
  }
  return nullptr;
}

}  // namespace

extern "C" int shmget(key_t key, size_t size, int flags) {
  static const auto real = Real<int (*)(key_t, size_t, int)>("shmget");
  const char* file = std::getenv("SHM_FAULT_FILE");
  if (file != nullptr && access(file, F_OK) == 0) {
    errno = ENOSPC;
    return -1;
  }
  static const bool foreignAll = std::getenv("SHM_FAULT_FOREIGN") != nullptr;
  const int id = real(key, size, flags);
  if (id >= 0 && key == IPC_PRIVATE && foreignAll) {
    Foreign* f = Find(-1);
    if (f == nullptr) std::abort();  // more segments at once than a game makes
    *f = {id, real(IPC_PRIVATE, size, flags)};
  }
  return id;
}

extern "C" void* shmat(int id, const void* address, int flags) {
  static const auto real = Real<void* (*)(int, const void*, int)>("shmat");
  const Foreign* f = Find(id);
  return real(f != nullptr ? f->standIn : id, address, flags);
}

extern "C" int shmctl(int id, int command, struct shmid_ds* buffer) {
  static const auto real = Real<int (*)(int, int, struct shmid_ds*)>("shmctl");
  Foreign* f = Find(id);
  if (f != nullptr && command == IPC_RMID) {
    real(f->standIn, IPC_RMID, nullptr);
    *f = {};  // the id may name another segment later
  }
  return real(id, command, buffer);
}
