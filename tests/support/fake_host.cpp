#include "support/fake_host.h"

namespace testing_support {

int FakeHostCallback::QueryValue(const WString& name, void* value) {
  calls.push_back("QueryValue " + Narrow(name));
  if (value == nullptr) return 0;
  if (name == u"HttpProxy" && httpProxy) {
    *static_cast<WString*>(value) = *httpProxy;
    return 1;
  }
  if (name == u"HostIgnore" && hostIgnore != nullptr) {
    *static_cast<CHostIgnore**>(value) = hostIgnore;
    return 1;
  }
  if (name == u"MaxMatchDifference" && maxMatchDifference) {
    *static_cast<float*>(value) = *maxMatchDifference;
    return 1;
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
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace testing_support
