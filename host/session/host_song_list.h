// The host's SongList: a vector of SongEntry records in append order, which the plug-in empties
// and appends to during FindSong and FindArtistSongList. Owned by whoever runs the search;
// one thread.
#pragma once

#include <vector>

#include "tunewell/host_interface.h"

namespace host {

class HostSongList : public SongList {
 public:
  void RemoveAll() override { entries_.clear(); }
  void Append(const SongEntry& entry) override { entries_.push_back(entry); }
  int GetCount() const override { return static_cast<int>(entries_.size()); }

  const std::vector<SongEntry>& Entries() const { return entries_; }

 private:
  std::vector<SongEntry> entries_;
};

}  // namespace host
