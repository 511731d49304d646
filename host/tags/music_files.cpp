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

  void AddFile(const fs::path& path) {
    const std::string text = path.string();
    if (!seen_.insert(text).second) return;
    found_.files.push_back(text);
    const std::string folder = path.has_parent_path() ? path.parent_path().string() : ".";
    if (folders_.insert(folder).second) found_.folders.push_back(folder);
  }

  void Walk(const fs::path& folder) {
    std::vector<fs::directory_entry> entries;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      entries.push_back(*it);
    }
    std::sort(entries.begin(), entries.end(),
              [](const fs::directory_entry& a, const fs::directory_entry& b) {
                return a.path().filename().string() < b.path().filename().string();
              });
    if (folders_.insert(folder.string()).second) found_.folders.push_back(folder.string());
    for (const fs::directory_entry& entry : entries) {
      const std::string name = entry.path().filename().string();
      if (name.empty() || name[0] == '.') continue;
      std::error_code typeError;
      if (entry.is_directory(typeError) && !entry.is_symlink(typeError)) {
        Walk(entry.path());
      } else if (entry.is_regular_file(typeError) && AudioFormatOf(name)) {
        AddFile(entry.path());
      }
    }
  }

 private:
  MusicFiles& found_;
  std::set<std::string> seen_;
  std::set<std::string> folders_;
};

}  // namespace

bool CollectMusicFiles(const std::vector<std::string>& paths, MusicFiles& found,
                       std::string& error) {
  found = MusicFiles{};
  Collector collector(found);
  for (const std::string& path : paths) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec || !fs::exists(status)) {
      error = PrintablePath(path) + ": no such file or folder";
      return false;
    }
    if (fs::is_directory(status)) {
      collector.Walk(path);
    } else if (AudioFormatOf(path)) {
      collector.AddFile(path);
    } else {
      error = PrintablePath(path) + ": not a music file of a known kind (" + AudioExtensions() +
              ")";
      return false;
    }
  }
  return true;
}

}  // namespace host
