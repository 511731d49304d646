// A test host: the host-side objects a test hands to a plug-in object. FakeHostCallback answers
// "HttpProxy", "HostIgnore" and "MaxMatchDifference" as set, can cancel (at once or after N
// QueryCancel calls) and records every call in order; FakeHostIgnore records AddHost/RemoveHost;
// VectorSongList keeps entries in a vector. Not thread-safe apart from the cancel switch.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "tunewell/host_interface.h"

namespace testing_support {

class FakeHostCallback : public CHostCallback {
 public:
  // Answers; an empty optional means the host does not supply that setting (result 0).
  std::optional<WString> httpProxy;
  CHostIgnore* hostIgnore = nullptr;   // supplied (result 1) when not null
  std::optional<float> maxMatchDifference;
  // Writes what it supplies all the same, but answers 0 ("not supplied") for it.
  bool answersZero = false;

  // Cancel now, or after this many more QueryCancel calls answered false (-1: never).
  void CancelNow() { cancelAfter_ = 0; }
  void CancelAfter(int queries) { cancelAfter_ = queries; }
  void Resume() { cancelAfter_ = -1; }

  int QueryValue(const WString& name, void* value) override;
  void Notify() override;
  bool QueryCancel() override;

  // Every call in order: "QueryValue HttpProxy", "QueryValue HostIgnore",
  // "QueryValue MaxMatchDifference", "QueryValue <other>", "Notify", "QueryCancel".
  std::vector<std::string> calls;
  int CountCalls(const std::string& call) const;

 private:
  std::atomic<int> cancelAfter_{-1};
};

class FakeHostIgnore : public CHostIgnore {
 public:
  struct Call {
    std::string operation;  // "AddHost" or "RemoveHost"
    WString host;
    int flag = 0;           // AddHost's flag
  };
  void AddHost(const char16_t* host, int flag) override;
  void RemoveHost(const char16_t* host) override;

  std::vector<Call> calls;
};

class VectorSongList : public SongList {
 public:
  void RemoveAll() override { entries.clear(); }
  void Append(const SongEntry& entry) override { entries.push_back(entry); }
  int GetCount() const override { return static_cast<int>(entries.size()); }

  std::vector<SongEntry> entries;
};

// UTF-16 to UTF-8 for test messages.
std::string Narrow(const WString& text);

}  // namespace testing_support
