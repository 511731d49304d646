// CLyricsDllCommon: the base of lyrics plug-ins. It answers FindSong as not supported; a
// concrete plug-in that can look songs up overrides it.
#pragma once

#include "plugin/common_dll_interface.h"

class CLyricsDllCommon : public CCommonDllInterface<CLyricsDllInterface> {
 public:
  // Not supported here: ignores its arguments and returns 0.
  int FindSong(const WString&, const WString&, SongList*, std::uint8_t) override { return 0; }
};
