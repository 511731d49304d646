// The sidecar text file beside a music file: made under a random name, then put in place only
// where no file of that name is (a user's own notes, another user's file), or where the one
// there is the one this user's runs wrote and nobody changed since. Which ones those are is
// recorded in the run's private journal folder, by the file's identity: a name in a folder
// others can write says nothing about who made the file. (A record outlives a sidecar deleted
// since; a new file given the same device, inode, size and times to the nanosecond is not to be
// feared.)
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <set>

#include "tags/store/file_replacement.h"
#include "tags/store/posix/file_io.h"
#include "os/posix/random_name.h"
#include "os/posix/safe_open.h"
#include "tags/store/posix/located_file.h"

namespace host {
namespace {

constexpr std::size_t kMaxNamePart = 150;

// The sidecars this user's runs wrote, one line each ("device inode size modified changed"),
// in one file of the journal folder; read once per run. About 60 bytes a sidecar.
constexpr const char* kRecords = "sidecars";
constexpr std::size_t kMaxRecordBytes = 64u << 20;

std::string RecordLine(const struct stat& file) {
  const FileIdentity id = IdentityOf(file);
  return std::to_string(id.device) + " " + std::to_string(id.inode) + " " +
         std::to_string(id.size) + " " + std::to_string(id.modifiedNs) + " " +
         std::to_string(id.changedNs);
}

std::set<std::string>& Records(const RunJournal& journal) {
  static std::map<std::string, std::set<std::string>> byJournal;
  const auto [at, first] = byJournal.try_emplace(journal.Path());
  if (!first) return at->second;
  UniqueFd fd(openat(journal.Folder(), kRecords, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  std::string text, ignored;
  if (fd.Valid() && ReadBounded(fd.Get(), kMaxRecordBytes, text, ignored)) {
    for (std::size_t from = 0, end; (end = text.find('\n', from)) != std::string::npos;
         from = end + 1) {
      at->second.insert(text.substr(from, end - from));
    }
  }
  return at->second;
}

// Whether the file there is one this user's runs wrote, as they left it.
bool IsOurs(const RunJournal& journal, const struct stat& there) {
  return S_ISREG(there.st_mode) && Records(journal).count(RecordLine(there)) != 0;
}

void Remember(const RunJournal& journal, const struct stat& written) {
  const std::string line = RecordLine(written);
  Records(journal).insert(line);
  UniqueFd fd(openat(journal.Folder(), kRecords,
                     O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
  if (fd.Valid()) WriteAll(fd.Get(), (line + "\n").data(), line.size() + 1);
}

// The new file's content and rights: as a new file would be made (0666 less the umask), owned
// by the music file's owner and group when this process may give them (root's sidecar in a
// user's folder belongs to that user).
bool Fill(int fd, const std::string& content, const struct stat& music) {
  const mode_t mask = umask(0);
  umask(mask);
  if (geteuid() == 0 && fchown(fd, music.st_uid, music.st_gid) != 0) return false;
  return WriteAll(fd, content.data(), content.size()) && fchmod(fd, 0666 & ~mask) == 0 &&
         SyncToDisk(fd);
}

// Puts the new file under the name: where there is none, never over one that appears meanwhile;
// over one of ours by an exchange, undone if what left was not ours after all.
bool PutInPlace(const RunJournal& journal, int folder, const std::string& made,
                const std::string& name, std::string& error) {
  struct stat there {};
  if (fstatat(folder, name.c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno != ENOENT) {
      error = "cannot look at " + name + ": " + ErrnoText(errno);
      return false;
    }
    if (renameat2(folder, made.c_str(), folder, name.c_str(), RENAME_NOREPLACE) == 0) return true;
    // Without RENAME_NOREPLACE: a new link fails where the name is taken.
    if ((errno == EINVAL || errno == ENOSYS) &&
        linkat(folder, made.c_str(), folder, name.c_str(), 0) == 0) {
      unlinkat(folder, made.c_str(), 0);
      return true;
    }
    error = errno == EEXIST ? name + " appeared meanwhile: kept as it is"
                            : "cannot write " + name + ": " + ErrnoText(errno);
    return false;
  }
  if (!IsOurs(journal, there)) {
    error = name + " is there and was not written by tunewell: kept as it is";
    return false;
  }
  if (renameat2(folder, made.c_str(), folder, name.c_str(), RENAME_EXCHANGE) != 0) {
    error = "cannot replace " + name + ": " + ErrnoText(errno);
    return false;
  }
  struct stat left {};
  // (The exchange changed its change time; its content must be as it was.)
  if (fstatat(folder, made.c_str(), &left, AT_SYMLINK_NOFOLLOW) != 0 ||
      left.st_ino != there.st_ino || left.st_size != there.st_size ||
      left.st_mtim.tv_sec != there.st_mtim.tv_sec ||
      left.st_mtim.tv_nsec != there.st_mtim.tv_nsec) {
    renameat2(folder, made.c_str(), folder, name.c_str(), RENAME_EXCHANGE);
    error = name + " changed meanwhile: kept as it is";
    return false;
  }
  unlinkat(folder, made.c_str(), 0);
  return true;
}

}  // namespace

bool WriteSidecar(const RunJournal& journal, const FileLocation& where, const std::string& name,
                  const std::string& content, std::string& error) {
  OpenedFile music;
  if (!OpenLocatedFile(where, music, error)) return false;
  const int folder = music.folder.Get();
  std::string made;
  UniqueFd fd(CreateNewFileIn(folder, "." + name.substr(0, kMaxNamePart) + ".tunewell-", 0600,
                              made));
  if (!fd.Valid() || !Fill(fd.Get(), content, music.info)) {
    error = "cannot write " + name + ": " + ErrnoText(errno);
    if (fd.Valid()) unlinkat(folder, made.c_str(), 0);
    return false;
  }
  if (!PutInPlace(journal, folder, made, name, error)) {
    // Only this run's own file goes: an exchange that could not be undone left another there.
    struct stat ours {}, left {};
    if (fstat(fd.Get(), &ours) == 0 &&
        fstatat(folder, made.c_str(), &left, AT_SYMLINK_NOFOLLOW) == 0 &&
        left.st_ino == ours.st_ino) {
      unlinkat(folder, made.c_str(), 0);
    }
    return false;
  }
  SyncToDisk(folder);
  struct stat written {};
  if (fstat(fd.Get(), &written) == 0) Remember(journal, written);
  return true;
}

}  // namespace host
