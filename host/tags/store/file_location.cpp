#include "tags/store/file_location.h"

namespace host {

FileLocation LocationOfNamedFile(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return FileLocation{path, slash == std::string::npos ? 0 : slash, 0, 0};
}

}  // namespace host
