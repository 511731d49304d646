// CTunewell: the concrete plug-in object that GetDllInterface hands out. It sets the plug-in's
// constants and implements the four search operations against the lyrics site. Created by
// GetDllInterface and registered with the instance registry; the host owns and deletes it.
#pragma once

#include "plugin/lyrics_dll_common.h"

class CTunewell : public CLyricsDllCommon {
 public:
  CTunewell();
  ~CTunewell() override;

  int FindArtist(const WString& artist, WString& artistUrl) override;
  int FindArtistSongList(const WString& artist, SongList* songs) override;
  int GetLyrics(const WString& songUrl, WString& lyrics) override;
  int FindSong(const WString& artist, const WString& title, SongList* songs,
               std::uint8_t option) override;

  // The constants, as set by the constructor.
  static constexpr const char16_t* kSourceName = u"Tunewell";
  static constexpr const char16_t* kVersion = u"2.1.2000.0";
  static constexpr const char16_t* kSiteHost = u"" TUNEWELL_SITE_HOST;
  static constexpr std::int32_t kCodePage = 28591;  // pages are ISO 8859-1
  static constexpr std::int32_t kSupportedSearch = 2;
};
