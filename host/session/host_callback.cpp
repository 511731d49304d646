#include "session/host_callback.h"

#include "session/cancel_switch.h"
#include "os/utf.h"

namespace host {

int HostCallback::QueryValue(const WString& name, void* value) {
  if (value == nullptr) return 0;
  if (name == u"HttpProxy") {
    if (!settings_.proxy) return 0;
    *static_cast<WString*>(value) = *settings_.proxy;
    return 1;
  }
  if (name == u"HostIgnore") {
    if (settings_.hostIgnore == nullptr) return 0;
    *static_cast<CHostIgnore**>(value) = settings_.hostIgnore;
    return 1;
  }
  if (name == u"MaxMatchDifference") {
    *static_cast<float*>(value) = settings_.maxDifference;
    return 1;
  }
  if (log_ != nullptr)
    std::fprintf(log_, "tunewell: QueryValue \"%s\" not supplied\n", ToUtf8(name).c_str());
  return 0;
}

void HostCallback::Notify() {
  if (log_ != nullptr) std::fputs("tunewell: Notify\n", log_);
}

bool HostCallback::QueryCancel() { return CancelSwitch::Cancelled(); }

}  // namespace host
