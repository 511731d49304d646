// String functions of the Microsoft C runtime that the plug-in's code relies on, with the
// runtime's results. Pure functions of their arguments: any thread may call them.
#pragma once

namespace platform {

// _wtoi: skips leading white space (tab, line feed, vertical tab, form feed, carriage return,
// space), takes one optional sign, reads ASCII decimal digits and stops at the first other
// character. No digits, or a null text, gives 0; a value beyond the 32-bit range gives the
// largest or smallest 32-bit value. Never fails.
int Wtoi(const char16_t* text);

}  // namespace platform
