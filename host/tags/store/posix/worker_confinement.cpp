#include "tags/store/posix/worker_confinement.h"

#include <fcntl.h>
#include <grp.h>
#include <seccomp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

namespace host {
namespace {

// A worker's CPU for its whole life; one that uses it up is replaced by a new one at the next
// request. It only bounds a worker nobody waits for any more.
constexpr rlim_t kCpuSeconds = 3600;

void Limit(int resource, rlim_t soft, rlim_t hard) {
  const rlimit limit{soft, hard};
  setrlimit(resource, &limit);
}

bool GiveUpRoot() {
  if (getuid() != 0 && geteuid() != 0) return true;
  return setgroups(0, nullptr) == 0 &&
         setresgid(kWorkerGroup, kWorkerGroup, kWorkerGroup) == 0 &&
         setresuid(kWorkerUser, kWorkerUser, kWorkerUser) == 0 && getuid() != 0 &&
         geteuid() != 0;
}

// The system calls a parser needs on descriptors it was handed; anything else fails with EPERM.
bool Filter() {
  static const int kAllowed[] = {
      SCMP_SYS(read),          SCMP_SYS(write),        SCMP_SYS(readv),
      SCMP_SYS(writev),        SCMP_SYS(pread64),      SCMP_SYS(pwrite64),
      SCMP_SYS(lseek),         SCMP_SYS(fstat),        SCMP_SYS(ftruncate),
      SCMP_SYS(fsync),         SCMP_SYS(fdatasync),    SCMP_SYS(fcntl),
      SCMP_SYS(close),         SCMP_SYS(dup),          SCMP_SYS(dup3),
      SCMP_SYS(mmap),          SCMP_SYS(munmap),       SCMP_SYS(mremap),
      SCMP_SYS(mprotect),      SCMP_SYS(brk),          SCMP_SYS(madvise),
      SCMP_SYS(futex),         SCMP_SYS(exit),         SCMP_SYS(exit_group),
      SCMP_SYS(rt_sigreturn),  SCMP_SYS(rt_sigprocmask), SCMP_SYS(rt_sigaction),
      SCMP_SYS(sigaltstack),   SCMP_SYS(tgkill),       SCMP_SYS(getpid),
      SCMP_SYS(gettid),        SCMP_SYS(clock_gettime), SCMP_SYS(clock_nanosleep),
      SCMP_SYS(nanosleep),     SCMP_SYS(getrandom),    SCMP_SYS(prlimit64),
      SCMP_SYS(getrlimit),     SCMP_SYS(setrlimit),    SCMP_SYS(getrusage),
      SCMP_SYS(sendmsg),       SCMP_SYS(recvmsg),      SCMP_SYS(sendto),
      SCMP_SYS(recvfrom),      SCMP_SYS(poll),         SCMP_SYS(ppoll),
      SCMP_SYS(sched_yield),   SCMP_SYS(restart_syscall), SCMP_SYS(getuid),
      SCMP_SYS(geteuid),       SCMP_SYS(getgid),       SCMP_SYS(getegid),
  };
  scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ERRNO(EPERM));
  if (filter == nullptr) return false;
  bool ok = true;
  for (const int call : kAllowed) {
    // A call this architecture does not have is simply not there to allow.
    if (call >= 0) ok = ok && seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 0) == 0;
  }
  // glibc's fstat is fstatat on the descriptor itself (an empty path): only that form passes,
  // so that no path can be looked at.
  ok = ok && seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(newfstatat), 1,
                              SCMP_A3(SCMP_CMP_MASKED_EQ, AT_EMPTY_PATH, AT_EMPTY_PATH)) == 0;
  ok = ok && seccomp_load(filter) == 0;
  seccomp_release(filter);
  return ok;
}

}  // namespace

bool ConfineWorker(pid_t host, bool underSanitizer) {
  Limit(RLIMIT_CPU, kCpuSeconds, kCpuSeconds + 10);
  Limit(RLIMIT_CORE, 0, 0);
  if (!GiveUpRoot()) return false;
  // Ends with the run: a worker whose host was killed has nobody to answer. (After the change
  // of user, which clears it; the host may have died before it took hold.)
  if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != host) return false;
  if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return false;
  return underSanitizer || Filter();
}

}  // namespace host
