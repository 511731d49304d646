#include "os/plugin_boundary.h"

#include <cstring>
#include <new>

#include "os/windows/host_string.h"
#include "tunewell/microsoft_abi.h"

namespace host {
namespace msabi = tunewell::msabi;
namespace {

#define MEMBER TUNEWELL_THISCALL

// The plug-in never calls the destructors of the host's objects; the slot is there to hold the
// positions and answers as a scalar deleting destructor that frees nothing would.
template <class Object>
void* MEMBER NoDestroy(Object* self, unsigned) {
  return self;
}

// The host's CHostIgnore in the Microsoft layout, in front of the host's own list.
struct IgnoreFace : msabi::HostIgnore {
  CHostIgnore* target = nullptr;
};

void MEMBER IgnoreAddHost(msabi::HostIgnore* self, const char16_t* name, int flag) {
  if (CHostIgnore* target = static_cast<IgnoreFace*>(self)->target) target->AddHost(name, flag);
}

void MEMBER IgnoreRemoveHost(msabi::HostIgnore* self, const char16_t* name) {
  if (CHostIgnore* target = static_cast<IgnoreFace*>(self)->target) target->RemoveHost(name);
}

constexpr msabi::HostIgnoreTable kIgnoreTable = {NoDestroy<msabi::HostIgnore>, IgnoreAddHost,
                                                 IgnoreRemoveHost};

// The host's CHostCallback in the Microsoft layout, in front of the host's own callback.
struct CallbackFace : msabi::HostCallback {
  CHostCallback* target = nullptr;
  IgnoreFace ignore;
};

int MEMBER CallbackQueryValue(msabi::HostCallback* self, const msabi::CStringW* name,
                              void* place) {
  auto* face = static_cast<CallbackFace*>(self);
  if (face->target == nullptr || place == nullptr) return 0;
  try {
    const WString key = ReadHostString(name);
    if (key == u"HttpProxy") {
      // What the host leaves in the place counts, whatever it answers.
      WString proxy = ReadHostString(static_cast<const msabi::CStringW*>(place));
      const int answered = face->target->QueryValue(key, &proxy);
      if (!AssignHostString(*static_cast<msabi::CStringW*>(place), proxy)) return 0;
      return answered;
    }
    if (key == u"HostIgnore") {
      CHostIgnore* list = nullptr;
      const int answered = face->target->QueryValue(key, &list);
      if (answered != 0) {
        face->ignore.target = list;
        *static_cast<msabi::HostIgnore**>(place) = list != nullptr ? &face->ignore : nullptr;
      }
      return answered;
    }
    // "MaxMatchDifference" is a float in either layout; other names go as they are.
    return face->target->QueryValue(key, place);
  } catch (...) {
    return 0;
  }
}

void MEMBER CallbackNotify(msabi::HostCallback* self) {
  if (CHostCallback* target = static_cast<CallbackFace*>(self)->target) target->Notify();
}

bool MEMBER CallbackQueryCancel(msabi::HostCallback* self) {
  CHostCallback* target = static_cast<CallbackFace*>(self)->target;
  return target != nullptr && target->QueryCancel();
}

constexpr msabi::HostCallbackTable kCallbackTable = {
    NoDestroy<msabi::HostCallback>, nullptr, CallbackQueryValue, nullptr, CallbackNotify,
    CallbackQueryCancel};

// The host's SongList in the Microsoft layout, for one call, in front of the host's own list:
// each entry appended is copied into the host's own record.
struct SongListFace : msabi::SongList {
  ::SongList* target = nullptr;
};

void MEMBER SongListRemoveAll(msabi::SongList* self) {
  static_cast<SongListFace*>(self)->target->RemoveAll();
}

void MEMBER SongListAppend(msabi::SongList* self, const msabi::SongEntry* entry) {
  if (entry == nullptr) return;
  try {
    SongEntry copy;
    copy.title = ReadHostString(&entry->title);
    copy.artist = ReadHostString(&entry->artist);
    copy.hostText1 = ReadHostString(&entry->hostText1);
    copy.url = ReadHostString(&entry->url);
    copy.hostFlag = entry->hostFlag;
    copy.hostText2 = ReadHostString(&entry->hostText2);
    copy.sourceName = ReadHostString(&entry->sourceName);
    copy.sourceId = ReadHostString(&entry->sourceId);
    static_cast<SongListFace*>(self)->target->Append(copy);
  } catch (...) {
    // No exception may cross into the plug-in: the entry is lost, the count shows it.
  }
}

int MEMBER SongListGetCount(msabi::SongList* self) {
  return static_cast<SongListFace*>(self)->target->GetCount();
}

constexpr msabi::SongListTable kSongListTable = {NoDestroy<msabi::SongList>, SongListRemoveAll,
                                                 SongListAppend, SongListGetCount};

#undef MEMBER

// Text properties are written into a framework string; the others are 32-bit numbers.
bool IsTextProperty(const WString& name) { return name == u"SourceName" || name == u"SourceId"; }

// The plug-in's Microsoft-layout object, driven through the native interface.
class MicrosoftPluginObject final : public CLyricsPluginObject {
 public:
  explicit MicrosoftPluginObject(msabi::PluginObject* object) : object_(object) {
    callback_.table = &kCallbackTable;
    callback_.ignore.table = &kIgnoreTable;
  }
  ~MicrosoftPluginObject() override { Slots().Destroy(object_, 1); }

  int SetProperty(const WString& name, const WString* value) override {
    HostString key(name);
    if (value == nullptr) return Slots().SetProperty(object_, key.get(), nullptr);
    HostString text(*value);
    return Slots().SetProperty(object_, key.get(), text.get());
  }
  int GetProperty(const WString& name, void* result) override {
    HostString key(name);
    if (result == nullptr || !IsTextProperty(name)) {
      return Slots().GetProperty(object_, key.get(), result);
    }
    HostString text;
    const int found = Slots().GetProperty(object_, key.get(), text.get());
    if (found != 0) *static_cast<WString*>(result) = text.Text();
    return found;
  }
  int CallMethod(const WString& name, void* argument) override {
    HostString key(name);
    return Slots().CallMethod(object_, key.get(), argument);
  }
  int FindArtist(const WString& artist, WString& artistUrl) override {
    HostString name(artist), url(artistUrl);
    const int found = Slots().FindArtist(object_, name.get(), url.get());
    artistUrl = url.Text();
    return found;
  }
  int FindArtistSongList(const WString& artist, ::SongList* songs) override {
    HostString name(artist);
    SongListFace list;
    list.table = &kSongListTable;
    list.target = songs;
    return Slots().FindArtistSongList(object_, name.get(), songs != nullptr ? &list : nullptr);
  }
  int GetLyrics(const WString& songUrl, WString& lyrics) override {
    HostString url(songUrl), text(lyrics);
    const int found = Slots().GetLyrics(object_, url.get(), text.get());
    lyrics = text.Text();
    return found;
  }
  bool SetHostCallback(CHostCallback* callback) override {
    hostCallback = callback;
    callback_.target = callback;
    return Slots().SetHostCallback(object_, callback != nullptr ? &callback_ : nullptr);
  }
  int FindSong(const WString& artist, const WString& title, ::SongList* songs,
               std::uint8_t option) override {
    HostString name(artist), song(title);
    SongListFace list;
    list.table = &kSongListTable;
    list.target = songs;
    return Slots().FindSong(object_, name.get(), song.get(), songs != nullptr ? &list : nullptr,
                            option);
  }
  void NotifyHost() override { Slots().NotifyHost(object_); }
  bool IsCancelled() override { return Slots().IsCancelled(object_); }
  int DownloadPage(const WString& url, WString& page) override {
    HostString address(url), text(page);
    const int loaded = Slots().DownloadPage(object_, address.get(), text.get());
    page = text.Text();
    return loaded;
  }

 private:
  const msabi::PluginTable& Slots() const { return *object_->table; }

  msabi::PluginObject* object_;
  CallbackFace callback_;
};

}  // namespace

CLyricsPluginObject* AdoptPluginObject(void* exported) {
  auto* object = static_cast<msabi::PluginObject*>(exported);
  if (object == nullptr) return nullptr;
  auto* adopted = new (std::nothrow) MicrosoftPluginObject(object);
  if (adopted == nullptr) object->table->Destroy(object, 1);
  return adopted;
}

}  // namespace host
