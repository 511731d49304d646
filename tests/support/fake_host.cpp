#include "support/fake_host.h"

#include "platform/code_page.h"

namespace testing_support {

int FakeHostCallback::QueryValue(const WString& name, void* value) {
  calls.push_back("QueryValue " + Narrow(name));
  if (value == nullptr) return 0;
  const int supplied = answersZero ? 0 : 1;
  if (name == u"HttpProxy" && httpProxy) {
    *static_cast<WString*>(value) = *httpProxy;
    return supplied;
  }
  if (name == u"HostIgnore" && hostIgnore != nullptr) {
    *static_cast<CHostIgnore**>(value) = hostIgnore;
    return supplied;
  }
  if (name == u"MaxMatchDifference" && maxMatchDifference) {
    *static_cast<float*>(value) = *maxMatchDifference;
    return supplied;
  }
  return 0;
}

void FakeHostCallback::Notify() { calls.push_back("Notify"); }

bool FakeHostCallback::QueryCancel() {
  calls.push_back("QueryCancel");
  int remaining = cancelAfter_.load();
  if (remaining < 0) return false;
  if (remaining == 0) return true;
  cancelAfter_.store(remaining - 1);
  return false;
}

int FakeHostCallback::CountCalls(const std::string& call) const {
  int n = 0;
  for (const auto& c : calls) n += c == call ? 1 : 0;
  return n;
}

void FakeHostIgnore::AddHost(const char16_t* host, int flag) {
  calls.push_back({"AddHost", host ? WString(host) : WString(), flag});
}

void FakeHostIgnore::RemoveHost(const char16_t* host) {
  calls.push_back({"RemoveHost", host ? WString(host) : WString(), 0});
}

std::string Narrow(const WString& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int needed =
      platform::WideToMultiByte(platform::kCpUtf8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(needed > 0 ? needed : 0), '\0');
  if (needed > 0) {
    platform::WideToMultiByte(platform::kCpUtf8, 0, text.data(), size, out.data(), needed, nullptr,
                              nullptr);
  }
  return out;
}

}  // namespace testing_support
