// The plug-in's contract on 32-bit Windows, as the hosts it is made for lay it out: the
// Microsoft C++ ABI of Visual C++ (and of every compiler that follows it), with the framework's
// wide string (CStringW) for every text. A host author on Windows writes against this; the
// Linux build keeps the native contract of plugin_interface.h and host_interface.h, where
// plug-in and host come from one compiler.
//
// Every object is a pointer to a table of member functions called `thiscall` (object in ECX,
// arguments pushed right to left, 4 bytes each, popped by the callee). Written here as typed
// tables of function pointers whose first parameter is the object, so that g++ lays them out
// exactly as Visual C++ lays out the classes:
//
//   the plug-in object (GetDllInterface's result), twelve entries:
//     0 scalar deleting destructor void* (unsigned flags): destroys, frees when flags & 1
//     1 int  SetProperty(const CStringW& name, const CStringW* value)
//     2 int  GetProperty(const CStringW& name, void* result)   CStringW* or int32_t*
//     3 int  CallMethod(const CStringW& name, void* unused)
//     4 int  FindArtist(const CStringW& artist, CStringW& artistUrl)
//     5 int  FindArtistSongList(const CStringW& artist, SongList* songs)
//     6 int  GetLyrics(const CStringW& songUrl, CStringW& lyrics)
//     7 bool SetHostCallback(CHostCallback* callback)
//     8 int  FindSong(const CStringW& artist, const CStringW& title, SongList*, bool option)
//     9 void NotifyHost()
//    10 bool IsCancelled()
//    11 int  DownloadPage(const CStringW& url, CStringW& page)
//   the host's CHostCallback: 0 destructor, 1 unused, 2 int QueryValue(const CStringW& name,
//     void* place), 3 unused, 4 void Notify(), 5 bool QueryCancel(); places: "HttpProxy" a
//     CStringW* preset empty, "HostIgnore" a CHostIgnore** preset null, "MaxMatchDifference"
//     a float* preset 1.0
//   the host's CHostIgnore: 0 destructor, 1 void AddHost(const wchar_t*, int flag),
//     2 void RemoveHost(const wchar_t*)
//   the host's SongList: 0 destructor, 1 void RemoveAll(), 2 void Append(const SongEntry&)
//     (the host copies the entry), 3 int GetCount()
//
// The plug-in never calls the destructors of the host's objects. A bool result is AL alone; a
// bool argument is its low byte alone (the rest of its 4-byte slot may be anything).
//
// Strings: a CStringW is one pointer to NUL-terminated UTF-16; 16 bytes before the characters
// sits its header (CStringData). The plug-in reads an input string by its stored length and
// never keeps or changes it; it writes an output string through that string's own manager as
// the framework does; it makes the strings it hands the host through Clone() of the manager of
// a host string argument of the same call, never through a manager of its own, so that every
// string the host holds stays valid after the library is unloaded.
#pragma once

#if defined(_WIN32) && defined(__i386__)

#include <cstdint>

#define TUNEWELL_THISCALL __attribute__((thiscall))

namespace tunewell::msabi {

struct StringManager;

// The header before a string's characters. refs > 1: shared; 1: alone; < 0: locked by its
// owner (written in place, never released); freed through the manager when it falls to 0.
struct CStringData {
  StringManager* manager;
  std::int32_t length;       // characters, NUL not counted
  std::int32_t allocLength;  // characters the buffer holds, NUL not counted
  long refs;

  char16_t* chars() { return reinterpret_cast<char16_t*>(this + 1); }
};
static_assert(sizeof(CStringData) == 16);

// The string manager's table; it has no destructor entry.
struct StringManagerTable {
  // A buffer for nAllocLength characters plus the NUL: manager set, length 0, refs 1; null
  // when out of memory.
  CStringData*(TUNEWELL_THISCALL* Allocate)(StringManager*, int nAllocLength, int nCharSize);
  void(TUNEWELL_THISCALL* Free)(StringManager*, CStringData*);
  // The same string in a buffer for nAllocLength characters (length kept); null on failure.
  CStringData*(TUNEWELL_THISCALL* Reallocate)(StringManager*, CStringData*, int nAllocLength,
                                              int nCharSize);
  // The manager's empty string, with a reference taken for the caller; never fails.
  CStringData*(TUNEWELL_THISCALL* GetNilString)(StringManager*);
  StringManager*(TUNEWELL_THISCALL* Clone)(StringManager*);
};
static_assert(sizeof(StringManagerTable) == 5 * sizeof(void*));

struct StringManager {
  const StringManagerTable* table;
};

struct CStringW {
  char16_t* chars;

  CStringData* data() const { return reinterpret_cast<CStringData*>(chars) - 1; }
};
static_assert(sizeof(CStringW) == 4);

struct HostIgnore;
struct HostIgnoreTable {
  void*(TUNEWELL_THISCALL* Destroy)(HostIgnore*, unsigned flags);
  void(TUNEWELL_THISCALL* AddHost)(HostIgnore*, const char16_t* host, int flag);
  void(TUNEWELL_THISCALL* RemoveHost)(HostIgnore*, const char16_t* host);
};
struct HostIgnore {
  const HostIgnoreTable* table;
};

struct HostCallback;
struct HostCallbackTable {
  void*(TUNEWELL_THISCALL* Destroy)(HostCallback*, unsigned flags);
  void* unused1;
  int(TUNEWELL_THISCALL* QueryValue)(HostCallback*, const CStringW* name, void* place);
  void* unused3;
  void(TUNEWELL_THISCALL* Notify)(HostCallback*);
  bool(TUNEWELL_THISCALL* QueryCancel)(HostCallback*);
};
static_assert(sizeof(HostCallbackTable) == 6 * sizeof(void*));
struct HostCallback {
  const HostCallbackTable* table;
};

struct SongEntry {
  CStringW title;
  CStringW artist;
  CStringW hostText1;
  CStringW url;
  std::uint8_t hostFlag;
  CStringW hostText2;
  CStringW sourceName;
  CStringW sourceId;
};
static_assert(sizeof(SongEntry) == 32);

struct SongList;
struct SongListTable {
  void*(TUNEWELL_THISCALL* Destroy)(SongList*, unsigned flags);
  void(TUNEWELL_THISCALL* RemoveAll)(SongList*);
  void(TUNEWELL_THISCALL* Append)(SongList*, const SongEntry* entry);
  int(TUNEWELL_THISCALL* GetCount)(SongList*);
};
struct SongList {
  const SongListTable* table;
};

struct PluginObject;
struct PluginTable {
  void*(TUNEWELL_THISCALL* Destroy)(PluginObject*, unsigned flags);
  int(TUNEWELL_THISCALL* SetProperty)(PluginObject*, const CStringW* name, const CStringW* value);
  int(TUNEWELL_THISCALL* GetProperty)(PluginObject*, const CStringW* name, void* result);
  int(TUNEWELL_THISCALL* CallMethod)(PluginObject*, const CStringW* name, void* unused);
  int(TUNEWELL_THISCALL* FindArtist)(PluginObject*, const CStringW* artist, CStringW* artistUrl);
  int(TUNEWELL_THISCALL* FindArtistSongList)(PluginObject*, const CStringW* artist,
                                             SongList* songs);
  int(TUNEWELL_THISCALL* GetLyrics)(PluginObject*, const CStringW* songUrl, CStringW* lyrics);
  bool(TUNEWELL_THISCALL* SetHostCallback)(PluginObject*, HostCallback* callback);
  // option is a bool: its low byte alone counts.
  int(TUNEWELL_THISCALL* FindSong)(PluginObject*, const CStringW* artist, const CStringW* title,
                                   SongList* songs, std::uint32_t option);
  void(TUNEWELL_THISCALL* NotifyHost)(PluginObject*);
  bool(TUNEWELL_THISCALL* IsCancelled)(PluginObject*);
  int(TUNEWELL_THISCALL* DownloadPage)(PluginObject*, const CStringW* url, CStringW* page);
};
static_assert(sizeof(PluginTable) == 12 * sizeof(void*), "the interface has twelve slots");
struct PluginObject {
  const PluginTable* table;
};

}  // namespace tunewell::msabi

// The export, undecorated: returns a msabi::PluginObject* (null when none can be made).
extern "C" tunewell::msabi::PluginObject* GetDllInterface();

#endif
