#include "tags/music_files.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "output/text_output.h"
#include "tags/audio_format.h"

namespace host {
namespace {

namespace fs = std::filesystem;

class Collector {
 public:
  explicit Collector(MusicFiles& found) : found_(found) {}

  void AddFile(const fs::path& path, const FileLocation& root) {
    const std::string text = path.string();
    if (!seen_.insert(text).second) return;
    found_.files.push_back(root.trustedInode == 0 ? LocationOfNamedFile(text)
                                                  : FileLocation{text, root.trusted,
                                                                 root.trustedDevice,
                                                                 root.trustedInode});
  }

  void AddUnreadable(const fs::path& path, const std::string& what, const std::error_code& ec) {
    const std::string text = path.string();
    if (!seen_.insert(text).second) return;
    found_.unreadable.push_back({text, what + ": " + ec.message()});
  }

  // `root`: the folder named on the command line, as os/file_location.h keeps it.
  void Walk(const fs::path& folder, const FileLocation& root) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) return AddUnreadable(folder, "cannot read the folder", ec);
    std::vector<fs::directory_entry> entries;
    for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
      entries.push_back(*it);
    }
    // Entries read before a failure are still walked; the folder is reported all the same.
    if (ec) AddUnreadable(folder, "cannot read the folder", ec);
    std::sort(entries.begin(), entries.end(),
              [](const fs::directory_entry& a, const fs::directory_entry& b) {
                return a.path().filename().string() < b.path().filename().string();
              });
    for (const fs::directory_entry& entry : entries) Take(entry, root);
  }

 private:
  // The entry's type comes from the folder listing where it can (no call per file); only a link
  // is looked through.
  void Take(const fs::directory_entry& entry, const FileLocation& root) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name[0] == '.') return;
    std::error_code ec;
    const bool link = entry.is_symlink(ec);
    if (!ec && !link && entry.is_directory(ec)) return Walk(entry.path(), root);
    const bool music = AudioFormatOf(name).has_value();
    if (ec && !music) return AddUnreadable(entry.path(), "cannot read", ec);
    if (!music) return;
    std::error_code ignored;
    if (link && entry.is_directory(ignored)) return;  // links to folders are not followed
    AddFile(entry.path(), root);  // whatever it is: the run says why it cannot be read
  }

  MusicFiles& found_;
  std::set<std::string> seen_;
};

}  // namespace

bool CollectMusicFiles(const std::vector<std::string>& paths, MusicFiles& found,
                       std::vector<std::string>& errors) {
  found = MusicFiles{};
  errors.clear();
  Collector collector(found);
  for (const std::string& path : paths) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found) {
      errors.push_back(PrintablePath(path) + ": no such file or folder");
    } else if (fs::is_directory(status)) {
      collector.Walk(path, LocationOfFolder(path));
    } else if (AudioFormatOf(path)) {
      collector.AddFile(path, FileLocation{});
    } else if (ec) {
      // There, but not to be looked at (a link loop, a folder it sits in that is shut).
      collector.AddUnreadable(path, "cannot read", ec);
    } else {
      errors.push_back(PrintablePath(path) + ": not a music file of a known kind (" +
                       AudioExtensions() + ")");
    }
  }
  if (!errors.empty()) found = MusicFiles{};
  return errors.empty();
}

}  // namespace host
