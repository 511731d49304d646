// The thread services that the C++ runtime linked into Tunewell.dll asks of POSIX threads for
// its one-time set-ups and its per-thread data, given over Win32 instead of winpthreads: the
// link routes pthread_once and the four key functions here (-Wl,--wrap). Their users are
// libstdc++ (locale and static-guard set-up) and libgcc (its emulated thread-local storage,
// which holds every thread's exception state).
//
// Why: winpthreads gives every thread that it did not start a record of its own the first time
// that thread passes pthread_once or a key function (a duplicate of the thread's handle and an
// event), and takes a TLS index for those records; it frees them when a thread ends, never when
// the DLL goes away while the thread lives on. Nor does anything free libstdc++'s emergency
// exception pool. A host that loaded the plug-in for each search kept two handles, a TLS index
// and about 19 KB per load, and after about a thousand loads the TLS indexes ran out and
// winpthreads aborted the host.
//
// Here a once flag is an INIT_ONCE, and the keys share one TLS index holding each thread's
// table of values. A thread's values are destroyed when it ends (DLL_THREAD_DETACH). When the
// host unloads the DLL, after every static destructor, the values of every thread still alive
// are destroyed and the tables, the TLS index and libstdc++'s emergency exception pool are
// given back. At process exit nothing is freed: the process takes it all. One path into
// winpthreads' records is left: a thread that waits for another to finish the first
// initialisation of the same function-local static.
#include <windows.h>

#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

namespace __gnu_cxx {
void __freeres() noexcept;  // libstdc++: frees the emergency exception pool
}

namespace {

constexpr unsigned kMaxKeys = 32;
constexpr int kDestructorRounds = 4;  // PTHREAD_DESTRUCTOR_ITERATIONS

using Destructor = void (*)(void*);

struct ThreadValues {
  ThreadValues* next;
  void* values[kMaxKeys];
};

// The keys' state; `lock` guards the tables' list and the keys' destructors.
SRWLOCK lock = SRWLOCK_INIT;
std::atomic<DWORD> tlsIndex{TLS_OUT_OF_INDEXES};
bool keyInUse[kMaxKeys];
Destructor destructors[kMaxKeys];
ThreadValues* tables = nullptr;

bool unloading = false;  // DLL_PROCESS_DETACH by FreeLibrary rather than by process exit

class Exclusive {
 public:
  Exclusive() { AcquireSRWLockExclusive(&lock); }
  ~Exclusive() { ReleaseSRWLockExclusive(&lock); }
  Exclusive(const Exclusive&) = delete;
  Exclusive& operator=(const Exclusive&) = delete;
};

// The calling thread's table, or null. Keeps the thread's last error: the runtime reads
// thread-local data between a failed system call and the caller's GetLastError.
ThreadValues* OwnTable() {
  const DWORD index = tlsIndex.load(std::memory_order_acquire);
  if (index == TLS_OUT_OF_INDEXES) return nullptr;
  const DWORD error = GetLastError();
  auto* table = static_cast<ThreadValues*>(TlsGetValue(index));
  SetLastError(error);
  return table;
}

Destructor DestructorOf(unsigned key) {
  AcquireSRWLockShared(&lock);
  const Destructor destructor = destructors[key];
  ReleaseSRWLockShared(&lock);
  return destructor;
}

// Runs the destructors of a table's values, again while destructors leave new values behind.
void DestroyValues(ThreadValues& table) {
  for (int round = 0; round < kDestructorRounds; ++round) {
    bool ran = false;
    for (unsigned key = 0; key < kMaxKeys; ++key) {
      void* value = table.values[key];
      if (value == nullptr) continue;
      table.values[key] = nullptr;
      if (const Destructor destructor = DestructorOf(key)) {
        destructor(value);
        ran = true;
      }
    }
    if (!ran) return;
  }
}

void Unlink(ThreadValues* table) {
  const Exclusive guard;
  for (ThreadValues** at = &tables; *at != nullptr; at = &(*at)->next) {
    if (*at == table) {
      *at = table->next;
      return;
    }
  }
}

// A thread leaves: its values are destroyed and its table freed.
void ReleaseThread() {
  ThreadValues* table = OwnTable();
  if (table == nullptr) return;
  DestroyValues(*table);
  Unlink(table);
  TlsSetValue(tlsIndex.load(), nullptr);
  std::free(table);
}

// The DLL leaves a process that goes on: every table, the TLS index, the exception pool.
void ReleaseEverything() {
  if (!unloading) return;
  ThreadValues* all = nullptr;
  {
    const Exclusive guard;
    all = tables;
    tables = nullptr;
  }
  while (all != nullptr) {
    ThreadValues* table = all;
    all = all->next;
    DestroyValues(*table);
    std::free(table);
  }
  const DWORD index = tlsIndex.exchange(TLS_OUT_OF_INDEXES);
  if (index != TLS_OUT_OF_INDEXES) TlsFree(index);  // clears the slot in every thread
  __gnu_cxx::__freeres();
}

// Registered before any static object of the library is constructed, so that it runs after
// every static destructor: they may still use thread-local data (an exception caught there).
struct LastAtUnload {
  LastAtUnload() { std::atexit(ReleaseEverything); }
};
[[gnu::init_priority(101)]] LastAtUnload lastAtUnload;

BOOL CALLBACK RunOnce(PINIT_ONCE, PVOID routine, PVOID*) {
  (*static_cast<void (**)()>(routine))();
  return TRUE;
}

}  // namespace

extern "C" {

static_assert(sizeof(pthread_once_t) == sizeof(INIT_ONCE) && PTHREAD_ONCE_INIT == 0,
              "a zeroed once flag is a fresh INIT_ONCE");

int __wrap_pthread_once(pthread_once_t* once, void (*routine)()) {
  if (once == nullptr || routine == nullptr) return EINVAL;
  return InitOnceExecuteOnce(reinterpret_cast<PINIT_ONCE>(once), RunOnce, &routine, nullptr)
             ? 0
             : EINVAL;
}

int __wrap_pthread_key_create(pthread_key_t* key, Destructor destructor) {
  if (key == nullptr) return EINVAL;
  const Exclusive guard;
  if (tlsIndex.load() == TLS_OUT_OF_INDEXES) {
    const DWORD index = TlsAlloc();
    if (index == TLS_OUT_OF_INDEXES) return EAGAIN;
    tlsIndex.store(index, std::memory_order_release);
  }
  for (unsigned k = 0; k < kMaxKeys; ++k) {
    if (keyInUse[k]) continue;
    keyInUse[k] = true;
    destructors[k] = destructor;
    *key = k;
    return 0;
  }
  return EAGAIN;
}

int __wrap_pthread_key_delete(pthread_key_t key) {
  const Exclusive guard;
  if (key >= kMaxKeys || !keyInUse[key]) return EINVAL;
  keyInUse[key] = false;
  destructors[key] = nullptr;
  for (ThreadValues* table = tables; table != nullptr; table = table->next) {
    table->values[key] = nullptr;
  }
  return 0;
}

void* __wrap_pthread_getspecific(pthread_key_t key) {
  if (key >= kMaxKeys) return nullptr;
  ThreadValues* table = OwnTable();
  return table != nullptr ? table->values[key] : nullptr;
}

int __wrap_pthread_setspecific(pthread_key_t key, const void* value) {
  if (key >= kMaxKeys) return EINVAL;
  ThreadValues* table = OwnTable();
  if (table == nullptr) {
    if (value == nullptr) return 0;
    const DWORD index = tlsIndex.load(std::memory_order_acquire);
    if (index == TLS_OUT_OF_INDEXES) return EINVAL;
    table = static_cast<ThreadValues*>(std::calloc(1, sizeof(ThreadValues)));
    if (table == nullptr) return ENOMEM;
    const DWORD error = GetLastError();
    TlsSetValue(index, table);
    SetLastError(error);
    const Exclusive guard;
    table->next = tables;
    tables = table;
  }
  table->values[key] = const_cast<void*>(value);
  return 0;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_THREAD_DETACH) ReleaseThread();
  if (reason == DLL_PROCESS_DETACH) unloading = reserved == nullptr;
  return TRUE;
}

}  // extern "C"
