// The review page's files (host/review/assets/), built into the binary by
// cmake/embed_assets.cmake, so that an installed tunewell serves them wherever it is put and
// nothing beside it can change what the page runs. Read-only; any thread.
#pragma once

#include <string_view>
#include <vector>

namespace host {

struct PageAsset {
  std::string_view name;   // "index.html", "review.js", ...
  std::string_view bytes;
};

const std::vector<PageAsset>& PageAssets();

}  // namespace host
