// The host application's objects, as the plug-in sees them. The host owns all of them; the
// plug-in only calls them and never deletes them. Virtual functions are declared in the slot
// order the host application uses; slots the plug-in never calls are kept as placeholders so
// that the positions hold. Called on whatever thread calls the plug-in. This is the native
// contract (plug-in and host built by one compiler, as on Linux); on 32-bit Windows the host's
// objects are laid out as Visual C++ lays them out, with CStringW texts: microsoft_abi.h.
#pragma once

#include <cstdint>

#include "tunewell/wstring.h"

// The host's callback object, registered with CLyricsDllInterface::SetHostCallback.
class CHostCallback {
 public:
  virtual ~CHostCallback() = default;                         // slot 0
  virtual void Reserved1() {}                                 // slot 1, not called
  // Asks the host for a setting: "HttpProxy" (value: WString*), "HostIgnore" (value:
  // CHostIgnore**) or "MaxMatchDifference" (value: float*). Non-zero when the host wrote it.
  virtual int QueryValue(const WString& name, void* value) = 0;  // slot 2
  virtual void Reserved3() {}                                 // slot 3, not called
  virtual void Notify() = 0;                                  // slot 4
  // True when the plug-in is to stop what it is doing.
  virtual bool QueryCancel() = 0;                             // slot 5
};

// The host's list of host names whose traffic the host application leaves alone.
class CHostIgnore {
 public:
  virtual ~CHostIgnore() = default;                           // slot 0
  virtual void AddHost(const char16_t* host, int flag) = 0;   // slot 1; flag is always 1
  virtual void RemoveHost(const char16_t* host) = 0;          // slot 2
};

// One record of the host's song list. The unnamed fields belong to the host.
struct SongEntry {
  WString title;
  WString artist;
  WString hostText1;
  WString url;
  std::uint8_t hostFlag = 0;
  WString hostText2;
  WString sourceName;
  WString sourceId;
};

// The host's ordered song list; it keeps append order.
class SongList {
 public:
  virtual ~SongList() = default;
  virtual void RemoveAll() = 0;
  virtual void Append(const SongEntry& entry) = 0;
  virtual int GetCount() const = 0;
};
