// The framework's wide string (CStringW) at the Windows boundary: reading a host's string,
// writing into one through its own manager as the framework does, and making strings for the
// host through a clone of the manager of one of the host's own strings. Every change of a
// reference count is atomic. Any thread; the strings themselves belong to one call.
#pragma once

#include "tunewell/microsoft_abi.h"
#include "tunewell/wstring.h"

namespace plugin::windows {

using tunewell::msabi::CStringData;
using tunewell::msabi::CStringW;
using tunewell::msabi::StringManager;

// The text by its stored length; empty for a null string.
WString ReadString(const CStringW* text);
// The manager in the string's header, or null for a null string.
StringManager* ManagerOf(const CStringW* text);

// Writes text into the host's string: an empty text attaches the manager's nil string (a locked
// string is emptied in place); a shared or empty string gets a new buffer from
// Clone()->Allocate; a buffer too small is reallocated (by half again at least); a locked one
// is written in place. False, the string unchanged, when the manager has no memory.
bool WriteString(CStringW& target, WStringView text);

// A new string holding text, from Clone() of manager (its nil string for an empty text); null
// characters when the manager has no memory.
CStringW MakeString(StringManager* manager, WStringView text);
// Gives up one reference; the last frees the buffer through its own manager. A null or locked
// string is left alone.
void ReleaseString(CStringW& text);

// A string made for the host, released when it goes.
class OwnedString {
 public:
  OwnedString(StringManager* manager, WStringView text) : text_(MakeString(manager, text)) {}
  ~OwnedString() { ReleaseString(text_); }
  OwnedString(const OwnedString&) = delete;
  OwnedString& operator=(const OwnedString&) = delete;

  bool ok() const { return text_.chars != nullptr; }
  CStringW& get() { return text_; }

 private:
  CStringW text_;
};

}  // namespace plugin::windows
