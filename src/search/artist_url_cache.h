// CArtistUrlCache: remembers, across runs and processes, the page address of each artist the
// artist search has seen. One INI file per leading character of the name ("A.ARTISTCACHE" ..
// "Z.ARTISTCACHE", "#.ARTISTCACHE" for digits) under root / source name / source id /, one
// section per artist holding "ArtistUrl". Lookups go by exact section name first, then by the
// closest name (CNameDistance) under a threshold.
//
// A search pass writes every candidate of a result page. Between BeginWritePass and
// EndWritePass the writes are queued in the object and reach the files together, one
// replacement per file, when the pass ends (or the object is destroyed): a page of 50 names
// costs one rewrite of a file that may hold 100 000 sections. Reads of this object see queued
// entries at once; other objects and processes see them when the pass ends. A crash during a
// pass loses that pass's entries only, which the next search of the site writes again.
//
// The plug-in object owns its cache. Any thread may call it: the object's own lock keeps each
// read or write sequence of its files whole; the profile layer keeps processes and other
// objects sharing the files apart. Failures are logged through the trace log and reported as
// 0; nothing throws apart from std::bad_alloc.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/critical_section.h"
#include "profile/profile.h"
#include "tunewell/wstring.h"

class CArtistUrlCache {
 public:
  // Characters read back from an "ArtistUrl" value: at most this many minus one.
  static constexpr std::uint32_t kUrlBufferSize = 500;
  // First capacity asked for when listing section names; doubled while the list is cut.
  static constexpr std::uint32_t kSectionNamesCapacity = 4096;

  // Keeps the folders; a non-empty root gets a trailing "/" unless it has one.
  CArtistUrlCache(const WString& rootFolder, const WString& sourceName, const WString& sourceId);
  // Writes what a pass left queued.
  ~CArtistUrlCache();
  CArtistUrlCache(const CArtistUrlCache&) = delete;
  CArtistUrlCache& operator=(const CArtistUrlCache&) = delete;

  // 1 with url filled when name, or failing that the closest section strictly below
  // threshold, has a non-empty address (at most 499 characters of it); 0 otherwise, with url
  // emptied once a file was consulted.
  std::int32_t ReadArtistUrl(const WString& name, WString& url, float threshold);
  // 1 when the address was stored under name (queued, during a pass). 0, logged at Debug, when
  // the write fails or the name could break the file's structure (line breaks, control
  // characters, "[" or "]"); 0 when GetCacheFileName fails. A queued entry whose file cannot be
  // written when the pass ends is logged then, in the same words.
  std::int32_t WriteArtistUrl(const WString& name, const WString& url);

  // Passes nest; the end of the outermost one writes the queue. giveUp (the object's
  // cancel) ends a wait for another process's lock on a file: that file's entries are dropped,
  // and a cancelled search ends without sitting out the wait.
  void BeginWritePass();
  void EndWritePass(const std::function<bool()>& giveUp = nullptr);
  // A pass for the life of a scope; a null cache makes it do nothing.
  class WritePass {
   public:
    explicit WritePass(CArtistUrlCache* cache, std::function<bool()> giveUp = nullptr)
        : cache_(cache), giveUp_(std::move(giveUp)) {
      if (cache_ != nullptr) cache_->BeginWritePass();
    }
    ~WritePass() {
      if (cache_ != nullptr) cache_->EndWritePass(giveUp_);
    }
    WritePass(const WritePass&) = delete;
    WritePass& operator=(const WritePass&) = delete;

   private:
    CArtistUrlCache* cache_;
    std::function<bool()> giveUp_;
  };
  // 1 with path set to the name's cache file, creating the two sub-folders (one level each)
  // when missing. 0 when a folder cannot be created (logged at Error with the system error) or
  // the name has no leading ASCII letter or digit (logged at Info).
  std::int32_t GetCacheFileName(const WString& name, WString& path);
  // Fills names with every section name of the file, in file order (empty for a missing file).
  static void ReadSectionNames(const WString& path, std::vector<WString>& names);

  const WString& RootFolder() const { return rootFolder; }

 private:
  struct QueuedUrl {
    WString path;
    WString name;
    WString folded;  // the name as the files match it
    WString url;
  };

  static bool EnsureFolder(const WString& folder);
  static bool IsStorableName(const WString& name);
  std::int32_t ReadUrl(const WString& path, const WString& section, WString& url) const;
  const QueuedUrl* FindQueued(const WString& path, WStringView name) const;
  void Queue(const WString& path, const WString& name, const WString& url);
  void WriteQueued(const std::function<bool()>& giveUp = nullptr);
  bool WriteValues(const std::vector<profile::ProfileValue>& values, const WString& path,
                   const std::function<bool()>& giveUp);

  WString rootFolder;
  WString sourceName;
  WString sourceId;
  platform::CriticalSection lock;
  // Guarded by lock.
  int passDepth = 0;
  std::vector<QueuedUrl> queued;
  // Where each queued (path, folded name) stands in queued: a result page of many thousand
  // links queues each in constant time, not by a walk over all queued before it.
  std::unordered_map<WString, std::size_t> queuedAt;
  // Files another process held locked past the profile layer's wait: not tried again by this
  // object, so that a long run pays that wait once per file, not once per search.
  std::vector<WString> lockedFiles;
};
