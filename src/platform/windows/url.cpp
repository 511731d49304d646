#include "platform/url.h"

// <windows.h> (through win_text.h) before <wininet.h>, which needs its types.
#include "platform/windows/win_text.h"

#include <wininet.h>

namespace platform {

bool CrackUrlHost(const WString& url, WString& host) {
  host.clear();
  // ICU_DECODE decodes into the caller's buffers: give them room for the whole address.
  WString name(url.size() + 1, u'\0');
  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = win::W(name.data());
  parts.dwHostNameLength = static_cast<DWORD>(name.size());
  if (!::InternetCrackUrlW(win::W(url), static_cast<DWORD>(url.size()), ICU_DECODE, &parts)) {
    return false;  // the last error is InternetCrackUrlW's own
  }
  host.assign(name.c_str(), parts.dwHostNameLength);
  return true;
}

}  // namespace platform
