// The plug-in's interface as a host application sees it. GetDllInterface hands out objects
// that implement it; the host owns each object and deletes it through the virtual destructor.
// No exception crosses this interface: every failure is a false or zero result. One object is
// used by one thread at a time. This is the native contract (Linux: plug-in and host from one
// compiler). On 32-bit Windows the export follows the Microsoft C++ ABI instead, with the
// framework's CStringW for every text: microsoft_abi.h; the core still implements this.
#pragma once

#include <cstdint>

#include "tunewell/host_interface.h"
#include "tunewell/wstring.h"

class CLyricsDllInterface {
 public:
  CLyricsDllInterface() = default;
  CLyricsDllInterface(const CLyricsDllInterface&) = delete;
  CLyricsDllInterface& operator=(const CLyricsDllInterface&) = delete;

  virtual ~CLyricsDllInterface() = default;                                      // slot 0
  // Sets a named text property; value may be null. 1 accepted, 0 refused.
  virtual int SetProperty(const WString& name, const WString* value) = 0;        // slot 1
  // Reads a named property into *result: a WString for text properties, a 32-bit integer for
  // numeric ones. 1 found, 0 for an unknown name or a null result.
  virtual int GetProperty(const WString& name, void* result) = 0;                // slot 2
  // Runs a named method; the argument is not read. 1 done, 0 for an unknown name.
  virtual int CallMethod(const WString& name, void* argument) = 0;               // slot 3
  // The artist's page address. 1 found, 0 otherwise.
  virtual int FindArtist(const WString& artist, WString& artistUrl) = 0;         // slot 4
  // Fills songs with the artist's songs; the number of entries, 0 on failure.
  virtual int FindArtistSongList(const WString& artist, SongList* songs) = 0;    // slot 5
  // The lyrics of a song page as plain text with CR LF line ends. 1 found, 0 otherwise.
  virtual int GetLyrics(const WString& songUrl, WString& lyrics) = 0;            // slot 6
  // Stores the host's callback (not owned; null removes it). True when it is not null.
  virtual bool SetHostCallback(CHostCallback* callback) {                        // slot 7
    hostCallback = callback;
    return hostCallback != nullptr;
  }
  // Appends the best match to songs: 1 (or -1 when option is set) when an entry was
  // appended, 0 otherwise.
  virtual int FindSong(const WString& artist, const WString& title, SongList* songs,
                       std::uint8_t option) = 0;                                 // slot 8

 protected:
  CHostCallback* hostCallback = nullptr;
};

// The three slots the plug-in's common base appends to the same table (9 to 11). They are open
// to the host like the others, and the search operations reach the object's own download and
// cancellation through them.
template <class TInterface>
class CPluginSlots : public TInterface {
 public:
  // Calls the host callback's Notify, when there is a callback.
  virtual void NotifyHost() = 0;                                                 // slot 9
  // The host's answer to QueryCancel; true when there is no callback.
  virtual bool IsCancelled() = 0;                                                // slot 10
  // Downloads a page as wide text. 1 on success, 0 on failure (page left empty).
  virtual int DownloadPage(const WString& url, WString& page) = 0;               // slot 11
};

using CLyricsPluginObject = CPluginSlots<CLyricsDllInterface>;

#if !(defined(_WIN32) && defined(__i386__))
// The export. On 32-bit Windows it hands out the Microsoft-ABI object of microsoft_abi.h
// instead, which stands in front of an object of this interface.
extern "C" CLyricsDllInterface* GetDllInterface();
#endif
