#include "session/host_ignore_list.h"

#include <algorithm>

#include "os/utf.h"

namespace host {
namespace {

std::string NameOf(const char16_t* host) { return host == nullptr ? std::string() : ToUtf8(host); }

}  // namespace

void HostIgnoreList::AddHost(const char16_t* host, int flag) {
  const std::string name = NameOf(host);
  hosts_.push_back(name);
  if (log_ != nullptr)
    std::fprintf(log_, "tunewell: HostIgnore AddHost \"%s\" %d\n", name.c_str(), flag);
}

void HostIgnoreList::RemoveHost(const char16_t* host) {
  const std::string name = NameOf(host);
  const auto it = std::find(hosts_.begin(), hosts_.end(), name);
  const bool known = it != hosts_.end();
  if (known) hosts_.erase(it);
  if (log_ != nullptr) {
    std::fprintf(log_, "tunewell: HostIgnore RemoveHost \"%s\"%s\n", name.c_str(),
                 known ? "" : " (not in the list)");
  }
}

bool HostIgnoreList::Contains(const std::string& host) const {
  return std::find(hosts_.begin(), hosts_.end(), host) != hosts_.end();
}

}  // namespace host
