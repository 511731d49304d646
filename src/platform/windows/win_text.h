// The Windows backend's bridge between WString (UTF-16 in char16_t) and the W functions'
// wchar_t, which is the same 16-bit unit on Windows, and the RAII owner of kernel handles.
// Only files of this folder include it.
#pragma once

#include <windows.h>

#include <string>

#include "tunewell/wstring.h"

namespace platform::win {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide text is UTF-16 units");

inline const wchar_t* W(const WString& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline const wchar_t* W(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* W(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
inline const char16_t* U(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }

// A kernel handle closed when the owner goes; INVALID_HANDLE_VALUE and null both mean none.
class Handle {
 public:
  explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~Handle() { Reset(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  void Reset(HANDLE handle = INVALID_HANDLE_VALUE) {
    if (valid()) ::CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_;
};

}  // namespace platform::win
