#include "os/posix/in_place_write.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "os/posix/file_io.h"
#include "os/posix/temporary_names.h"
#include "os/processes.h"

namespace host {
namespace {

// The source file's content over the file's, on disk before it returns.
bool Overwrite(const std::string& path, const std::string& source) {
  const int from = open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (from < 0) return false;
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
  bool ok = fd >= 0 && CopyAll(from, fd);
  const off_t size = ok ? lseek(fd, 0, SEEK_CUR) : -1;
  ok = ok && size >= 0 && ftruncate(fd, size) == 0 && SyncToDisk(fd);
  const int saved = errno;
  close(from);
  if (fd >= 0 && close(fd) != 0) ok = false;
  errno = saved;
  return ok;
}

// The original's content as the file `backup`, complete or not there at all: it is written
// under a temporary name and renamed once synced, so a backup's name always means a whole copy.
bool MakeBackup(const std::string& real, const std::string& backup, std::string& error) {
  const int original = open(real.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (original < 0) {
    error = "cannot read the file for its backup: " + ErrnoText(errno);
    return false;
  }
  const bool made = WriteThroughTemporary(backup, [&](int fd) { return CopyAll(original, fd); });
  if (!made) error = "cannot make a backup copy beside the file: " + ErrnoText(errno);
  close(original);
  return made;
}

// The backup's content back into the original; the backup goes once that is on disk.
bool PutBack(const std::string& backup, const std::string& original) {
  if (!Overwrite(original, backup)) return false;
  unlink(backup.c_str());
  SyncFolder(FolderOf(original));
  return true;
}

}  // namespace

bool WriteInPlace(const std::string& real, const std::string& source, const FileIdentity& asRead,
                  std::string& error) {
  const std::string backupName = BackupNameFor(NameOf(real));
  if (backupName.empty()) {
    error = "the file's name is too long for a backup beside it";
    return false;
  }
  const std::string backup = FolderOf(real) + "/" + backupName;
  if (!MakeBackup(real, backup, error)) return false;
  if (!StillAsRead(real, asRead)) {
    unlink(backup.c_str());
    error = kChangedDuringRun;
    return false;
  }
  if (Overwrite(real, source)) {
    unlink(backup.c_str());
    SyncFolder(FolderOf(real));
    return true;
  }
  error = "cannot write the file: " + ErrnoText(errno);
  if (!PutBack(backup, real)) {
    error += "; its old content is in " + backup + " and is put back by the next run";
  }
  return false;
}

int RestoreInterruptedWrites(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return 0;
  std::vector<std::pair<std::string, std::string>> backups;  // backup, original
  while (const dirent* entry = readdir(dir)) {
    std::string original;
    long pid = 0;
    if (ParseBackupName(entry->d_name, original, pid) && !ProcessIsRunning(pid)) {
      backups.emplace_back(folder + "/" + entry->d_name, folder + "/" + original);
    }
  }
  closedir(dir);
  int handled = 0;
  for (const auto& [backup, path] : backups) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
      // The file was deleted or replaced since: it stays so.
      if (unlink(backup.c_str()) == 0) ++handled;
    } else if (PutBack(backup, path)) {
      ++handled;
    }
  }
  return handled;
}

}  // namespace host
