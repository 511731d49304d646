#include "plugin/windows/microsoft_boundary.h"

#include <cstring>
#include <memory>
#include <new>

#include "plugin/windows/framework_string.h"

namespace plugin::windows {

namespace msabi = tunewell::msabi;

void HostIgnoreBridge::AddHost(const char16_t* name, int flag) {
  if (host != nullptr) host->table->AddHost(host, name, flag);
}

void HostIgnoreBridge::RemoveHost(const char16_t* name) {
  if (host != nullptr) host->table->RemoveHost(host, name);
}

int HostCallbackBridge::QueryValue(const WString& name, void* value) {
  if (host == nullptr || manager == nullptr) return 0;
  OwnedString hostName(manager, name);
  if (!hostName.ok()) return 0;
  if (name == u"HttpProxy") {
    OwnedString place(manager, u"");
    if (!place.ok()) return 0;
    const int answered = host->table->QueryValue(host, &hostName.get(), &place.get());
    if (value != nullptr) *static_cast<WString*>(value) = ReadString(&place.get());
    return answered;
  }
  if (name == u"HostIgnore") {
    msabi::HostIgnore* list = nullptr;
    const int answered = host->table->QueryValue(host, &hostName.get(), &list);
    ignore_.host = list;
    if (answered != 0 && value != nullptr) {
      *static_cast<CHostIgnore**>(value) = list != nullptr ? &ignore_ : nullptr;
    }
    return answered;
  }
  if (name == u"MaxMatchDifference") {
    // Whatever the host leaves in the float is the threshold, whatever it answers: the core's
    // preset goes in, so a host that writes nothing leaves it as it was.
    float difference = 1.0f;
    if (value != nullptr) std::memcpy(&difference, value, sizeof difference);
    const int answered = host->table->QueryValue(host, &hostName.get(), &difference);
    if (value != nullptr) std::memcpy(value, &difference, sizeof difference);
    return answered;
  }
  return host->table->QueryValue(host, &hostName.get(), value);
}

void HostCallbackBridge::Notify() {
  if (host != nullptr) host->table->Notify(host);
}

bool HostCallbackBridge::QueryCancel() {
  return host != nullptr && host->table->QueryCancel(host);
}

namespace {

// The host's SongList as the core sees it, for one call: each entry is copied into strings of
// the host's manager, handed over, and released (the host keeps its own copies).
class SongListBridge : public SongList {
 public:
  SongListBridge(msabi::SongList* host, msabi::StringManager* manager)
      : host_(host), manager_(manager) {}

  void RemoveAll() override { host_->table->RemoveAll(host_); }
  void Append(const SongEntry& entry) override {
    OwnedString title(manager_, entry.title), artist(manager_, entry.artist),
        text1(manager_, entry.hostText1), url(manager_, entry.url),
        text2(manager_, entry.hostText2), sourceName(manager_, entry.sourceName),
        sourceId(manager_, entry.sourceId);
    for (const OwnedString* made : {&title, &artist, &text1, &url, &text2, &sourceName, &sourceId}) {
      if (!made->ok()) throw std::bad_alloc();
    }
    const msabi::SongEntry copy{title.get(), artist.get(), text1.get(), url.get(),
                                entry.hostFlag, text2.get(), sourceName.get(), sourceId.get()};
    host_->table->Append(host_, &copy);
  }
  int GetCount() const override { return host_->table->GetCount(host_); }

 private:
  msabi::SongList* host_;
  msabi::StringManager* manager_;
};

// For the length of a slot: the manager of the call's host string, for the strings the plug-in
// makes. A call without one (the host calling back in) keeps the one already set.
class CallScope {
 public:
  CallScope(CTunewellBoundary& object, msabi::StringManager* manager)
      : callback_(object.Callback()), previous_(callback_.manager) {
    if (manager != nullptr) callback_.manager = manager;
  }
  ~CallScope() { callback_.manager = previous_; }
  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;

 private:
  HostCallbackBridge& callback_;
  msabi::StringManager* previous_;
};

// Runs an operation with an output string: the host's text goes in, and what the operation
// leaves there is written back when it changed. 0 when it cannot be written.
template <class Operation>
int WithOutput(msabi::CStringW* target, Operation&& operation) {
  if (target == nullptr) return 0;
  const WString before = ReadString(target);
  WString text = before;
  const int result = operation(text);
  if (text != before && !WriteString(*target, text)) return 0;
  return result;
}

// The text properties; the others are 32-bit numbers written straight into the host's place.
bool IsTextProperty(const WString& name) { return name == u"SourceName" || name == u"SourceId"; }

#define SLOT TUNEWELL_THISCALL

void* SLOT Destroy(msabi::PluginObject* self, unsigned flags) {
  try {
    CTunewellBoundary* object = CTunewellBoundary::Owner(self);
    if ((flags & 1) != 0) {
      delete object;
    } else {
      std::destroy_at(object);
    }
  } catch (...) {
  }
  return self;
}

int SLOT SetProperty(msabi::PluginObject* self, const msabi::CStringW* name,
                     const msabi::CStringW* value) {
  try {
    CTunewellBoundary& object = *CTunewellBoundary::Owner(self);
    const CallScope scope(object, ManagerOf(name));
    if (value == nullptr) return object.SetProperty(ReadString(name), nullptr);
    const WString text = ReadString(value);
    return object.SetProperty(ReadString(name), &text);
  } catch (...) {
    return 0;
  }
}

int SLOT GetProperty(msabi::PluginObject* self, const msabi::CStringW* name, void* result) {
  try {
    CTunewellBoundary& object = *CTunewellBoundary::Owner(self);
    const CallScope scope(object, ManagerOf(name));
    const WString key = ReadString(name);
    if (result == nullptr || !IsTextProperty(key)) return object.GetProperty(key, result);
    WString text;
    if (object.GetProperty(key, &text) == 0) return 0;
    return WriteString(*static_cast<msabi::CStringW*>(result), text) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

int SLOT CallMethod(msabi::PluginObject* self, const msabi::CStringW* name, void* argument) {
  try {
    CTunewellBoundary& object = *CTunewellBoundary::Owner(self);
    const CallScope scope(object, ManagerOf(name));
    return object.CallMethod(ReadString(name), argument);
  } catch (...) {
    return 0;
  }
}

int SLOT FindArtist(msabi::PluginObject* self, const msabi::CStringW* artist,
                    msabi::CStringW* artistUrl) {
  try {
    CTunewellBoundary& object = *CTunewellBoundary::Owner(self);
    const CallScope scope(object, ManagerOf(artist));
    const WString name = ReadString(artist);
    return WithOutput(artistUrl, [&](WString& url) { return object.FindArtist(name, url); });
  } catch (...) {
    return 0;
  }
}

int SLOT FindArtistSongList(msabi::PluginObject* self, const msabi::CStringW* artist,
                            msabi::SongList* songs) {
  try {
    CTunewellBoundary& object = *CTunewellBoundary::Owner(self);
    msabi::StringManager* manager = ManagerOf(artist);
    if (songs == nullptr || manager == nullptr) return 0;
    const CallScope scope(object, manager);
    SongListBridge list(songs, manager);
    return object.FindArtistSongList(ReadString(artist), &list);
  } catch (...) {
    return 0;
  }
}

int SLOT GetLyrics(msabi::PluginObject* self, const msabi::CStringW* songUrl,
                   msabi::CStringW* lyrics) {
  try {
    CTunewellBoundary& object = *CTunewellBoundary::Owner(self);
    const CallScope scope(object, ManagerOf(songUrl));
    const WString url = ReadString(songUrl);
    return WithOutput(lyrics, [&](WString& text) { return object.GetLyrics(url, text); });
  } catch (...) {
    return 0;
  }
}

bool SLOT SetHostCallback(msabi::PluginObject* self, msabi::HostCallback* callback) {
  try {
    CTunewellBoundary& object = *CTunewellBoundary::Owner(self);
    object.Callback().host = callback;
    return object.SetHostCallback(callback != nullptr ? &object.Callback() : nullptr);
  } catch (...) {
    return false;
  }
}

int SLOT FindSong(msabi::PluginObject* self, const msabi::CStringW* artist,
                  const msabi::CStringW* title, msabi::SongList* songs, std::uint32_t option) {
  try {
    CTunewellBoundary& object = *CTunewellBoundary::Owner(self);
    msabi::StringManager* manager = ManagerOf(artist);
    if (manager == nullptr) manager = ManagerOf(title);
    if (songs == nullptr || manager == nullptr) return 0;
    const CallScope scope(object, manager);
    SongListBridge list(songs, manager);
    // A bool argument: the host may leave anything above its low byte.
    const std::uint8_t flag = (option & 0xFFu) != 0 ? 1 : 0;
    return object.FindSong(ReadString(artist), ReadString(title), &list, flag);
  } catch (...) {
    return 0;
  }
}

void SLOT NotifyHost(msabi::PluginObject* self) {
  try {
    CTunewellBoundary::Owner(self)->NotifyHost();
  } catch (...) {
  }
}

bool SLOT IsCancelled(msabi::PluginObject* self) {
  try {
    return CTunewellBoundary::Owner(self)->IsCancelled();
  } catch (...) {
    return true;
  }
}

int SLOT DownloadPage(msabi::PluginObject* self, const msabi::CStringW* url,
                      msabi::CStringW* page) {
  try {
    CTunewellBoundary& object = *CTunewellBoundary::Owner(self);
    const CallScope scope(object, ManagerOf(url));
    const WString address = ReadString(url);
    return WithOutput(page, [&](WString& text) { return object.DownloadPage(address, text); });
  } catch (...) {
    return 0;
  }
}

#undef SLOT

constexpr msabi::PluginTable kTable = {
    Destroy,   SetProperty,     GetProperty, CallMethod, FindArtist,  FindArtistSongList,
    GetLyrics, SetHostCallback, FindSong,    NotifyHost, IsCancelled, DownloadPage,
};

}  // namespace

CTunewellBoundary::CTunewellBoundary() : face_{{&kTable}, this} {}

}  // namespace plugin::windows
