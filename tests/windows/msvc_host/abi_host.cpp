// A host of Tunewell.dll laid out by another compiler: clang in the Microsoft C++ ABI, with no
// C runtime, as a Visual C++ host on the framework's Unicode library meets the plug-in. Its
// classes, tables, deleting destructors and the framework string (with a string manager of its
// own that counts its live buffers) are written from the documented layout; nothing here comes
// from the plug-in's sources. It drives every slot against the bundled site, then loads and
// unloads the DLL 210 times with a search each time, as a host that loads its plug-ins per
// search does, and holds the handles and memory after the last 200 loads to those after the
// first 10. It prints one line per failed check and the load figures; the exit status is the
// number of failures.
//
// Environment: TW_DLL (the DLL), TW_PROXY (the site's address), TW_LOG (a folder for the
// trace log), TW_ARTIST, TW_TITLE (a song of the corpus), TW_LYRICS (a file holding its lyrics
// in UTF-16LE with CR LF line ends).

typedef unsigned long DWORD;
typedef void* HANDLE;

extern "C" {
__declspec(dllimport) HANDLE __stdcall LoadLibraryW(const wchar_t*);
__declspec(dllimport) void* __stdcall GetProcAddress(HANDLE, const char*);
__declspec(dllimport) int __stdcall FreeLibrary(HANDLE);
__declspec(dllimport) HANDLE __stdcall GetStdHandle(DWORD);
__declspec(dllimport) int __stdcall WriteFile(HANDLE, const void*, DWORD, DWORD*, void*);
__declspec(dllimport) void __stdcall ExitProcess(unsigned);
__declspec(dllimport) HANDLE __stdcall GetProcessHeap();
__declspec(dllimport) void* __stdcall HeapAlloc(HANDLE, DWORD, DWORD);
__declspec(dllimport) void* __stdcall HeapReAlloc(HANDLE, DWORD, void*, DWORD);
__declspec(dllimport) int __stdcall HeapFree(HANDLE, DWORD, void*);
__declspec(dllimport) DWORD __stdcall GetEnvironmentVariableW(const wchar_t*, wchar_t*, DWORD);
__declspec(dllimport) DWORD __stdcall VirtualQuery(const void*, void*, DWORD);
__declspec(dllimport) HANDLE __stdcall CreateFileW(const wchar_t*, DWORD, DWORD, void*, DWORD,
                                                   DWORD, HANDLE);
__declspec(dllimport) int __stdcall ReadFile(HANDLE, void*, DWORD, DWORD*, void*);
__declspec(dllimport) int __stdcall CloseHandle(HANDLE);
__declspec(dllimport) DWORD __stdcall GetCurrentProcessId();
__declspec(dllimport) DWORD __stdcall TlsAlloc();
__declspec(dllimport) int __stdcall TlsFree(DWORD);

int _fltused = 0;
void* memcpy(void* to, const void* from, unsigned n) {
  for (unsigned i = 0; i < n; ++i) static_cast<char*>(to)[i] = static_cast<const char*>(from)[i];
  return to;
}
void* memset(void* to, int value, unsigned n) {
  for (unsigned i = 0; i < n; ++i) static_cast<char*>(to)[i] = static_cast<char>(value);
  return to;
}
int _purecall() { ExitProcess(99); return 0; }
}

void* operator new(unsigned size) { return HeapAlloc(GetProcessHeap(), 0, size); }
void operator delete(void* p) { HeapFree(GetProcessHeap(), 0, p); }
void operator delete(void* p, unsigned) { HeapFree(GetProcessHeap(), 0, p); }

// ---- output ----------------------------------------------------------------------------

static int failures = 0;

static void Print(const char* text) {
  DWORD n = 0, written = 0;
  while (text[n] != 0) ++n;
  WriteFile(GetStdHandle(static_cast<DWORD>(-11)), text, n, &written, nullptr);
}

static void PrintNumber(long value) {
  char digits[24];
  int at = 23;
  digits[at] = 0;
  const bool negative = value < 0;
  unsigned long v = negative ? 0ul - static_cast<unsigned long>(value) : value;
  do {
    digits[--at] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  if (negative) digits[--at] = '-';
  Print(digits + at);
}

static void Check(bool ok, const char* what, long got = 0) {
  if (ok) return;
  ++failures;
  Print("FAILED: ");
  Print(what);
  Print(" (");
  PrintNumber(got);
  Print(")\n");
}

static int Length(const wchar_t* text) {
  int n = 0;
  while (text[n] != 0) ++n;
  return n;
}

static bool Same(const wchar_t* a, int na, const wchar_t* b, int nb) {
  if (na != nb) return false;
  for (int i = 0; i < na; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

// ---- the framework string ---------------------------------------------------------------

struct CStringData;
struct IAtlStringMgr {
  virtual CStringData* Allocate(int nAllocLength, int nCharSize) = 0;
  virtual void Free(CStringData* data) = 0;
  virtual CStringData* Reallocate(CStringData* data, int nAllocLength, int nCharSize) = 0;
  virtual CStringData* GetNilString() = 0;
  virtual IAtlStringMgr* Clone() = 0;
};

struct CStringData {
  IAtlStringMgr* pStringMgr;
  int nDataLength;
  int nAllocLength;
  long nRefs;
  wchar_t* data() { return reinterpret_cast<wchar_t*>(this + 1); }
  void AddRef() { __atomic_add_fetch(&nRefs, 1, __ATOMIC_ACQ_REL); }
  void Release() {
    if (__atomic_sub_fetch(&nRefs, 1, __ATOMIC_ACQ_REL) <= 0) pStringMgr->Free(this);
  }
};

// The host's manager: heap buffers, a count of those alive, and a nil string of its own.
class HostStringMgr : public IAtlStringMgr {
 public:
  long live = 0;
  struct {
    CStringData data;
    wchar_t nul;
  } nil;

  void Init() {
    nil.data.pStringMgr = this;
    nil.data.nDataLength = 0;
    nil.data.nAllocLength = 0;
    nil.data.nRefs = 2;
    nil.nul = 0;
  }
  CStringData* Allocate(int nAllocLength, int nCharSize) override {
    auto* data = static_cast<CStringData*>(
        HeapAlloc(GetProcessHeap(), 0, sizeof(CStringData) + (nAllocLength + 1) * nCharSize));
    if (data == nullptr) return nullptr;
    data->pStringMgr = this;
    data->nDataLength = 0;
    data->nAllocLength = nAllocLength;
    data->nRefs = 1;
    data->data()[0] = 0;
    ++live;
    return data;
  }
  void Free(CStringData* data) override {
    if (data == &nil.data) return;
    --live;
    HeapFree(GetProcessHeap(), 0, data);
  }
  CStringData* Reallocate(CStringData* data, int nAllocLength, int nCharSize) override {
    auto* moved = static_cast<CStringData*>(HeapReAlloc(
        GetProcessHeap(), 0, data, sizeof(CStringData) + (nAllocLength + 1) * nCharSize));
    if (moved != nullptr) moved->nAllocLength = nAllocLength;
    return moved;
  }
  CStringData* GetNilString() override {
    nil.data.AddRef();
    return &nil.data;
  }
  IAtlStringMgr* Clone() override { return this; }
};

// Made in Start: without a C runtime no global constructor runs.
static HostStringMgr* manager;

class CStringW {
 public:
  CStringW() : m_pszData(manager->GetNilString()->data()) {}
  CStringW(const wchar_t* text) : CStringW() { Assign(text, Length(text)); }
  CStringW(const CStringW& other) {
    CStringData* data = other.Data();
    // As the framework copies: by reference when the managers agree and nothing is locked.
    if (data->nRefs >= 0 && data->pStringMgr == manager) {
      data->AddRef();
      m_pszData = data->data();
    } else {
      m_pszData = manager->GetNilString()->data();
      Assign(other.m_pszData, data->nDataLength);
    }
  }
  ~CStringW() {
    if (Data()->nRefs >= 0) Data()->Release();
  }
  CStringW& operator=(const CStringW&) = delete;

  void Assign(const wchar_t* text, int n) {
    CStringData* fresh = manager->Allocate(n, 2);
    memcpy(fresh->data(), text, n * 2);
    fresh->data()[n] = 0;
    fresh->nDataLength = n;
    Data()->Release();
    m_pszData = fresh->data();
  }
  CStringData* Data() const { return reinterpret_cast<CStringData*>(m_pszData) - 1; }
  int GetLength() const { return Data()->nDataLength; }
  bool Equals(const wchar_t* text) const {
    return Same(m_pszData, GetLength(), text, Length(text));
  }

  wchar_t* m_pszData;
};
static_assert(sizeof(CStringW) == 4, "one pointer");

// A string the host holds after a call: the host's manager and a count of 1 (or the nil).
static void CheckHeld(const CStringW& text, const char* what) {
  CStringData* data = text.Data();
  Check(data->pStringMgr == manager, what);
  Check(data == &manager->nil.data || data->nRefs == 1, what, data->nRefs);
}

// ---- the plug-in and the host's objects, as Visual C++ lays them out -----------------------

class CHostIgnore {
 public:
  virtual ~CHostIgnore() {}
  virtual void AddHost(const wchar_t* host, int flag) = 0;
  virtual void RemoveHost(const wchar_t* host) = 0;
};

class CHostCallback {
 public:
  virtual ~CHostCallback() {}
  virtual void Unused1() {}
  virtual int QueryValue(const CStringW& name, void* place) = 0;
  virtual void Unused3() {}
  virtual void Notify() = 0;
  // A bool to the plug-in: only AL counts, so the rest of EAX is left as it falls here.
  virtual unsigned QueryCancel() = 0;
};

struct SongEntry {
  CStringW title, artist, text1, url;
  unsigned char flag;
  CStringW text2, sourceName, sourceId;
};
static_assert(sizeof(SongEntry) == 32, "the host's entry");

class SongList {
 public:
  virtual ~SongList() {}
  virtual void RemoveAll() = 0;
  virtual void Append(const SongEntry& entry) = 0;
  virtual int GetCount() = 0;
};

class CLyricsDllInterface {
 public:
  virtual ~CLyricsDllInterface() {}
  virtual int SetProperty(const CStringW& name, const CStringW* value) = 0;
  virtual int GetProperty(const CStringW& name, void* result) = 0;
  virtual int CallMethod(const CStringW& name, void* unused) = 0;
  virtual int FindArtist(const CStringW& artist, CStringW& artistUrl) = 0;
  virtual int FindArtistSongList(const CStringW& artist, SongList* songs) = 0;
  virtual int GetLyrics(const CStringW& songUrl, CStringW& lyrics) = 0;
  virtual bool SetHostCallback(CHostCallback* callback) = 0;
  virtual int FindSong(const CStringW& artist, const CStringW& title, SongList* songs,
                       bool option) = 0;
  virtual void NotifyHost() = 0;
  virtual bool IsCancelled() = 0;
  virtual int DownloadPage(const CStringW& url, CStringW& page) = 0;
};

class Ignore : public CHostIgnore {
 public:
  int added = 0, removed = 0, badFlag = 0;
  void AddHost(const wchar_t*, int flag) override {
    ++added;
    if (flag != 1) ++badFlag;
  }
  void RemoveHost(const wchar_t*) override { ++removed; }
};

class Callback : public CHostCallback {
 public:
  // Each value set is written into the place; the answer is the one given here (0: "not
  // supplied", though written all the same). "MaxMatchDifference" is written only when set.
  const wchar_t* proxy = nullptr;
  int proxyAnswer = 1;
  Ignore* ignore = nullptr;
  int ignoreAnswer = 1;
  bool writeDifference = false;
  float difference = 0.5f;
  int differenceAnswer = 1;
  unsigned cancelAnswer = 0xFFFFFF00u;  // AL 0: false
  int queries = 0, notified = 0, cancelQueries = 0, badNames = 0;

  int QueryValue(const CStringW& name, void* place) override {
    ++queries;
    // What the plug-in hands over is made by the host's manager->
    if (name.Data()->pStringMgr != manager || name.Data()->nRefs != 1) ++badNames;
    if (name.Equals(L"HttpProxy")) {
      CStringW* value = static_cast<CStringW*>(place);
      if (value->Data()->pStringMgr != manager || value->GetLength() != 0) ++badNames;
      if (proxy == nullptr) return 0;
      value->Assign(proxy, Length(proxy));
      return proxyAnswer;
    }
    if (name.Equals(L"HostIgnore")) {
      if (*static_cast<CHostIgnore**>(place) != nullptr) ++badNames;
      *static_cast<CHostIgnore**>(place) = ignore;
      return ignore != nullptr ? ignoreAnswer : 0;
    }
    if (name.Equals(L"MaxMatchDifference")) {
      if (*static_cast<float*>(place) != 1.0f) ++badNames;
      if (!writeDifference) return 0;
      *static_cast<float*>(place) = difference;
      return differenceAnswer;
    }
    return 0;
  }
  void Notify() override { ++notified; }
  unsigned QueryCancel() override {
    ++cancelQueries;
    return cancelAnswer;
  }
};

class Songs : public SongList {
 public:
  SongEntry* entries[64];
  int count = 0;
  void RemoveAll() override {
    for (int i = 0; i < count; ++i) delete entries[i];
    count = 0;
  }
  void Append(const SongEntry& entry) override {
    if (count < 64) entries[count++] = new SongEntry(entry);
  }
  int GetCount() override { return count; }
  ~Songs() { RemoveAll(); }
};

// ---- calling a slot by hand ----------------------------------------------------------------

// Calls table entry `slot` of object with the words given, as a thiscall, and reports how far
// the stack moved: a slot that pops exactly its arguments leaves it where it was. The stack is
// only 4-byte aligned at the call, as Visual C++ promises no more.
static unsigned CallSlot(void* object, int slot, const unsigned* words, int count, int* moved) {
  void* entry = (*static_cast<void***>(object))[slot];
  unsigned result;
  int delta;
  void *c, *s;
  int d;
  __asm__ volatile(
      "movl %%esp, %%edi\n\t"
      "andl $-16, %%esp\n\t"
      "subl $4, %%esp\n\t"
      "1:\n\t"
      "testl %%edx, %%edx\n\t"
      "jz 2f\n\t"
      "decl %%edx\n\t"
      "pushl (%%esi,%%edx,4)\n\t"
      "jmp 1b\n\t"
      "2:\n\t"
      "call *%%ebx\n\t"
      "movl %%edi, %%ecx\n\t"
      "andl $-16, %%ecx\n\t"
      "subl $4, %%ecx\n\t"
      "movl %%esp, %%edx\n\t"
      "subl %%ecx, %%edx\n\t"
      "movl %%edi, %%esp\n\t"
      : "=a"(result), "=d"(delta), "=c"(c), "=S"(s), "=D"(d)
      : "b"(entry), "c"(object), "S"(words), "d"(count)
      : "memory", "cc");
  (void)c, (void)s, (void)d;
  *moved = delta;
  return result;
}

static unsigned Word(const void* p) { return reinterpret_cast<unsigned>(p); }

// ---- the run -----------------------------------------------------------------------------

static wchar_t* Env(const wchar_t* name) {
  static wchar_t buffers[12][1024];
  static int next = 0;
  wchar_t* buffer = buffers[next++ % 12];
  buffer[0] = 0;
  GetEnvironmentVariableW(name, buffer, 1024);
  return buffer;
}

static int ReadLyrics(const wchar_t* path, wchar_t* text, int room) {
  HANDLE file = CreateFileW(path, 0x80000000u, 1, nullptr, 3, 0, nullptr);
  if (file == reinterpret_cast<HANDLE>(-1)) return -1;
  DWORD got = 0;
  ReadFile(file, text, room * 2, &got, nullptr);
  CloseHandle(file);
  return static_cast<int>(got / 2);
}

struct MemoryInfo {
  void* base;
  void* allocationBase;
  DWORD allocationProtect;
  DWORD regionSize;
  DWORD state;
  DWORD protect;
  DWORD type;
};

static bool Committed(const void* address) {
  MemoryInfo info;
  if (VirtualQuery(address, &info, sizeof info) == 0) return false;
  return info.state == 0x1000;  // MEM_COMMIT
}

static wchar_t lyricsBuffer[16384];

using Factory = CLyricsDllInterface* (*)();

static void Run() {
  manager->Init();
  HANDLE library = LoadLibraryW(Env(L"TW_DLL"));
  Check(library != nullptr, "LoadLibraryW");
  if (library == nullptr) return;
  auto factory = reinterpret_cast<Factory>(GetProcAddress(library, "GetDllInterface"));
  Check(factory != nullptr, "GetDllInterface exported undecorated");
  if (factory == nullptr) return;
  CLyricsDllInterface* plugin = factory();
  CLyricsDllInterface* second = factory();
  Check(plugin != nullptr && second != nullptr && plugin != second, "two objects");
  if (plugin == nullptr || second == nullptr) return;

  // Twelve entries, each an address inside the DLL's image.
  const char* base = static_cast<const char*>(library);
  const unsigned imageSize =
      *reinterpret_cast<const unsigned*>(base + *reinterpret_cast<const int*>(base + 0x3C) + 0x50);
  void** table = *reinterpret_cast<void***>(plugin);
  for (int slot = 0; slot < 12; ++slot) {
    const char* entry = static_cast<const char*>(table[slot]);
    Check(entry >= base && entry < base + imageSize, "table entry inside the DLL", slot);
  }

  // Strings received from the plug-in that outlive the library: the host frees them after
  // FreeLibrary, through its own manager.
  CStringW property;
  Songs kept;
  Ignore ignore;
  Callback callback;
  callback.proxy = Env(L"TW_PROXY");
  callback.ignore = &ignore;
  int moved = 0;

  // Properties: text into an empty, a shared, a locked and a too-small string; numbers.
  {
    const CStringW logName(L"LogFolder"), logFolder(Env(L"TW_LOG")), nope(L"NoSuchName");
    Check(plugin->SetProperty(logName, &logFolder) == 1, "SetProperty LogFolder");
    Check(CallSlot(plugin, 1, (unsigned[]){Word(&nope), Word(&logFolder)}, 2, &moved) == 0,
          "SetProperty of an unknown name refused");
    Check(moved == 0, "slot 1 pops its arguments", moved);
    const CStringW sourceName(L"SourceName");
    Check(CallSlot(plugin, 2, (unsigned[]){Word(&sourceName), Word(&property)}, 2, &moved) == 1,
          "GetProperty into an empty string");
    Check(moved == 0, "slot 2 pops its arguments", moved);
    Check(property.Equals(L"Tunewell"), "SourceName");
    CheckHeld(property, "the property written into an empty string");
    CStringW original(L"shared text");
    CStringW shared(original);
    Check(plugin->GetProperty(sourceName, &shared) == 1 && shared.Equals(L"Tunewell") &&
              original.Equals(L"shared text"),
          "GetProperty into a shared string leaves the other holder alone");
    CheckHeld(shared, "the property written into a shared string");
    CheckHeld(original, "the other holder of a shared string");
    CStringW locked(L"0123456789abcdef");
    CStringData* lockedData = locked.Data();
    lockedData->nRefs = -1;
    Check(plugin->GetProperty(sourceName, &locked) == 1 && locked.Data() == lockedData &&
              locked.Equals(L"Tunewell") && lockedData->nRefs == -1,
          "GetProperty into a locked string writes in place");
    lockedData->nRefs = 1;
    CStringW small(L"ab");
    Check(plugin->GetProperty(sourceName, &small) == 1 && small.Equals(L"Tunewell"),
          "GetProperty into a too small string");
    CheckHeld(small, "the property written into a too small string");
    const CStringW supported(L"SupportedSearch");
    int number = 0;
    Check(plugin->GetProperty(supported, &number) == 1 && number == 2, "SupportedSearch", number);
    Check(plugin->GetProperty(nope, &number) == 0, "GetProperty of an unknown name refused");
    Check(CallSlot(plugin, 3, (unsigned[]){Word(&nope), 0}, 2, &moved) == 0,
          "CallMethod of an unknown name refused");
    Check(moved == 0, "slot 3 pops its arguments", moved);
  }

  // The callback: IsCancelled reads AL alone; without a callback the object is cancelled.
  Check(CallSlot(second, 10, nullptr, 0, &moved) % 256 == 1, "no callback: cancelled");
  Check(CallSlot(plugin, 7, (unsigned[]){Word(&callback)}, 1, &moved) % 256 == 1,
        "SetHostCallback");
  Check(moved == 0, "slot 7 pops its arguments", moved);
  Check(CallSlot(plugin, 10, nullptr, 0, &moved) % 256 == 0, "QueryCancel 0xFFFFFF00 is false");
  callback.cancelAnswer = 1;
  Check(plugin->IsCancelled(), "QueryCancel 1 is true");
  callback.cancelAnswer = 0xFFFFFF00u;
  CallSlot(plugin, 9, nullptr, 0, &moved);
  Check(callback.notified == 1 && moved == 0, "NotifyHost reaches Notify", callback.notified);

  const CStringW artist(Env(L"TW_ARTIST")), title(Env(L"TW_TITLE"));
  {
    // FindSong: the option is a bool whatever lies above its low byte.
    Songs& songs = kept;
    int found = static_cast<int>(CallSlot(
        plugin, 8, (unsigned[]){Word(&artist), Word(&title), Word(&songs), 0xABCDEF00u}, 4, &moved));
    Check(found == 1 && songs.count == 1, "FindSong, option 0xABCDEF00", found);
    Check(moved == 0, "slot 8 pops its arguments", moved);
    callback.writeDifference = true;
    found = static_cast<int>(CallSlot(
        plugin, 8, (unsigned[]){Word(&artist), Word(&title), Word(&songs), 0xABCDEF01u}, 4, &moved));
    Check(found == -1 && songs.count == 2, "FindSong, option 0xABCDEF01", found);
    Check(ignore.added > 0 && ignore.added == ignore.removed && ignore.badFlag == 0,
          "AddHost and RemoveHost paired", ignore.added - ignore.removed);
    if (songs.count > 0) {
      SongEntry& entry = *songs.entries[0];
      Check(entry.title.Equals(Env(L"TW_TITLE")) && entry.artist.Equals(Env(L"TW_ARTIST")),
            "the entry's title and artist");
      Check(entry.sourceName.Equals(L"Tunewell") && entry.url.GetLength() > 0 &&
                entry.sourceId.GetLength() == 32,
            "the entry's source and address");
      const CStringW* texts[] = {&entry.title, &entry.artist, &entry.text1, &entry.url,
                                 &entry.text2, &entry.sourceName, &entry.sourceId};
      for (const CStringW* text : texts) CheckHeld(*text, "an entry's text");
      CStringW lyrics;
      Check(CallSlot(plugin, 6, (unsigned[]){Word(&entry.url), Word(&lyrics)}, 2, &moved) == 1,
            "GetLyrics");
      Check(moved == 0, "slot 6 pops its arguments", moved);
      const int n = ReadLyrics(Env(L"TW_LYRICS"), lyricsBuffer, 16384);
      Check(Same(lyrics.m_pszData, lyrics.GetLength(), lyricsBuffer, n),
            "the lyrics are the corpus text with CR LF", lyrics.GetLength());
      CheckHeld(lyrics, "the lyrics");
      CStringW page;
      Check(CallSlot(plugin, 11, (unsigned[]){Word(&entry.url), Word(&page)}, 2, &moved) == 1 &&
                page.GetLength() > 0,
            "DownloadPage");
      Check(moved == 0, "slot 11 pops its arguments", moved);
      CheckHeld(page, "the page");
    }
  }
  {
    CStringW artistUrl;
    Check(CallSlot(plugin, 4, (unsigned[]){Word(&artist), Word(&artistUrl)}, 2, &moved) == 1 &&
              artistUrl.GetLength() > 0,
          "FindArtist");
    Check(moved == 0, "slot 4 pops its arguments", moved);
    CheckHeld(artistUrl, "the artist's page");
    Songs songs;
    songs.Append(SongEntry());  // RemoveAll comes first
    const int count = static_cast<int>(
        CallSlot(plugin, 5, (unsigned[]){Word(&artist), Word(&songs)}, 2, &moved));
    Check(count > 1 && count == songs.count, "FindArtistSongList after RemoveAll", count);
    Check(moved == 0, "slot 5 pops its arguments", moved);
  }
  {
    // What the host leaves in a place counts whatever it answers, but for the ignore list,
    // used only when supplied. Under 0.0 nothing matches: a distance must lie below it.
    callback.difference = 0.0f;
    callback.differenceAnswer = 0;
    Songs songs;
    CStringW artistUrl;
    Check(plugin->FindSong(artist, title, &songs, false) == 0 && songs.count == 0,
          "FindSong under 0.0 answered with 0 finds nothing");
    Check(plugin->FindArtist(artist, artistUrl) == 0 && artistUrl.GetLength() == 0,
          "FindArtist under 0.0 answered with 0 finds nothing");
    callback.writeDifference = false;
    callback.proxyAnswer = 0;
    callback.ignoreAnswer = 0;
    const int added = ignore.added;
    Check(plugin->FindArtist(artist, artistUrl) == 1, "a proxy answered with 0 is used");
    Check(ignore.added == added, "an ignore list answered with 0 is not", ignore.added - added);
  }
  Check(callback.badNames == 0, "every string handed to QueryValue is the host's",
        callback.badNames);
  Check(callback.queries > 0 && callback.cancelQueries > 0, "the callback was asked");

  const CStringW merge(L"CloseAndMergeLog");
  Check(plugin->CallMethod(merge, nullptr) == 1, "CloseAndMergeLog");
  const void* code = table[1];
  CallSlot(plugin, 0, (unsigned[]){1}, 1, &moved);  // what `delete plugin` calls
  Check(moved == 0, "slot 0 pops its flags", moved);
  // The second object is left alive: the unload deletes it.
  FreeLibrary(library);
  Check(!Committed(code), "the image is gone after FreeLibrary");
}

// ---- a host that loads the plug-in for each search -----------------------------------------

struct HandleEntry {  // SYSTEM_HANDLE_TABLE_ENTRY_INFO
  unsigned long process;
  unsigned char type, flags;
  unsigned short value;
  void* object;
  unsigned long access;
};
static_assert(sizeof(HandleEntry) == 16, "the system's handle entry");

// The handles this process holds, counted in the system's handle table (Wine answers the
// process's own handle count with 0); -1 when the table cannot be read.
static long HandleCount() {
  using Query = long(__stdcall*)(int, void*, unsigned long, unsigned long*);
  auto query = reinterpret_cast<Query>(
      GetProcAddress(LoadLibraryW(L"ntdll.dll"), "NtQuerySystemInformation"));
  if (query == nullptr) return -1;
  for (unsigned long size = 1ul << 16;; size *= 2) {
    auto* buffer = static_cast<unsigned long*>(HeapAlloc(GetProcessHeap(), 0, size));
    if (buffer == nullptr) return -1;
    unsigned long needed = 0;
    const long status = query(16, buffer, size, &needed);  // SystemHandleInformation
    long count = -1;
    if (status == 0) {
      const auto* entries = reinterpret_cast<const HandleEntry*>(buffer + 1);
      count = 0;
      for (unsigned long i = 0; i < buffer[0]; ++i) {
        if (entries[i].process == GetCurrentProcessId()) ++count;
      }
    }
    HeapFree(GetProcessHeap(), 0, buffer);
    if (status != static_cast<long>(0xC0000004)) return count;  // not "buffer too small"
  }
}

// Committed private memory: the heaps and whatever else the process allocated for itself.
static unsigned long CommittedPrivate() {
  MemoryInfo info;
  const char* at = nullptr;
  unsigned long total = 0;
  while (VirtualQuery(at, &info, sizeof info) == sizeof info) {
    if (info.state == 0x1000 && info.type == 0x20000) total += info.regionSize;
    const char* next = static_cast<const char*>(info.base) + info.regionSize;
    if (next <= at) break;
    at = next;
  }
  return total;
}

// How many TLS indexes are free: a load that keeps one lowers it, and a process has only
// 1088 of them.
static long FreeTlsIndexes() {
  static DWORD taken[1088];
  long count = 0;
  for (DWORD index; count < 1088 && (index = TlsAlloc()) != 0xFFFFFFFFul;) taken[count++] = index;
  for (long i = 0; i < count; ++i) TlsFree(taken[i]);
  return count;
}

// One load: LoadLibrary, an object, one search, delete, FreeLibrary.
static bool SearchInAFreshLoad(const wchar_t* dll, Callback& callback, const CStringW& artist,
                               const CStringW& title) {
  HANDLE library = LoadLibraryW(dll);
  if (library == nullptr) return false;
  auto factory = reinterpret_cast<Factory>(GetProcAddress(library, "GetDllInterface"));
  CLyricsDllInterface* plugin = factory != nullptr ? factory() : nullptr;
  bool found = false;
  if (plugin != nullptr) {
    plugin->SetHostCallback(&callback);
    Songs songs;
    found = plugin->FindSong(artist, title, &songs, false) == 1 && songs.count == 1;
    delete plugin;
  }
  FreeLibrary(library);
  return found;
}

static void PrintFigure(const char* what, long first, long last) {
  Print(what);
  PrintNumber(first);
  Print(" -> ");
  PrintNumber(last);
  Print("\n");
}

// Every load gives back what it took: after many more cycles the process holds no more handles
// and hardly more memory than after the first few (which load the system's DLLs for good).
static void LoadCycles() {
  const int kFirst = 10, kMore = 200;
  Callback callback;
  Ignore ignore;
  callback.proxy = Env(L"TW_PROXY");
  callback.ignore = &ignore;
  const wchar_t* dll = Env(L"TW_DLL");
  const CStringW artist(Env(L"TW_ARTIST")), title(Env(L"TW_TITLE"));
  int found = 0;
  for (int cycle = 0; cycle < kFirst; ++cycle) found += SearchInAFreshLoad(dll, callback, artist, title);
  const long handles = HandleCount(), tls = FreeTlsIndexes();
  const unsigned long memory = CommittedPrivate();
  for (int cycle = 0; cycle < kMore; ++cycle) found += SearchInAFreshLoad(dll, callback, artist, title);
  const long handlesAfter = HandleCount(), tlsAfter = FreeTlsIndexes();
  const unsigned long memoryAfter = CommittedPrivate();
  PrintFigure("abi_host: load cycles 10 -> 210: handles ", handles, handlesAfter);
  PrintFigure("abi_host: load cycles 10 -> 210: committed private KB ", memory / 1024,
              memoryAfter / 1024);
  Check(found == kFirst + kMore, "every load found the song", found);
  PrintFigure("abi_host: load cycles 10 -> 210: free TLS indexes ", tls, tlsAfter);
  Check(handles > 0 && handlesAfter <= handles + 4, "handles kept by 200 loads",
        handlesAfter - handles);
  Check(tlsAfter == tls, "TLS indexes kept by 200 loads", tls - tlsAfter);
  Check(memoryAfter <= memory + memory / 20, "committed KB kept by 200 loads (at most 5 %)",
        static_cast<long>(memoryAfter / 1024) - static_cast<long>(memory / 1024));
}

extern "C" void __stdcall Start() {
  manager = new HostStringMgr;
  Run();
  LoadCycles();
  // Every string the host held is gone by now: the manager has nothing left alive.
  Check(manager->live == 0, "the host's strings all freed", manager->live);
  if (failures == 0) Print("abi_host: every check passed\n");
  ExitProcess(static_cast<unsigned>(failures));
}
