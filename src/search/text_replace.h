// Replacing every occurrence of a text in wide text, as the site's pages are cleaned up.
// Pure functions; any thread.
#pragma once

#include "tunewell/wstring.h"

namespace search {

// Replaces every occurrence of `from`, left to right, without looking again at what it inserts
// or at what a replacement joins. An empty `from` changes nothing.
void ReplaceAll(WString& text, WStringView from, WStringView to);

}  // namespace search
