// The host's framework wide strings (CStringW in the Microsoft layout of
// tunewell/microsoft_abi.h), with a string manager that lives in the host: every string the
// plug-in makes for the host is made through it, so none depends on the plug-in's library
// staying loaded. Reference counts change atomically; any thread.
#pragma once

#include "tunewell/microsoft_abi.h"
#include "tunewell/wstring.h"

namespace host {

// The host's string manager (heap buffers; the nil string is shared and never freed).
tunewell::msabi::StringManager* HostStringManager();

// The text of a framework string by its stored length; empty for a null one.
WString ReadHostString(const tunewell::msabi::CStringW* text);
// Replaces the string's text with a new buffer of the host's manager, releasing the old.
// False, the string unchanged, when there is no memory.
bool AssignHostString(tunewell::msabi::CStringW& target, WStringView text);

// One framework string the host holds, released when it goes.
class HostString {
 public:
  HostString();  // empty: the manager's nil string
  explicit HostString(WStringView text);
  ~HostString();
  HostString(const HostString&) = delete;
  HostString& operator=(const HostString&) = delete;

  tunewell::msabi::CStringW* get() { return &text_; }
  WString Text() const { return ReadHostString(&text_); }

 private:
  tunewell::msabi::CStringW text_;
};

}  // namespace host
