// The plug-in object as the host drives it. GetDllInterface's result is presented as the
// native interface of tunewell/plugin_interface.h: on POSIX it is that object itself; on
// 32-bit Windows it is the Microsoft-layout object of tunewell/microsoft_abi.h, behind a
// host-side object that crosses that contract with the host's own framework strings (its own
// string manager) and its own callback, ignore list and song lists laid out as Visual C++ lays
// them out. Deleting the presented object deletes the plug-in's. One thread at a time.
#pragma once

#include "tunewell/plugin_interface.h"

namespace host {

// GetDllInterface's signature as the host resolves it.
using PluginFactory = void* (*)();

// The object exported, presented natively and owned by the caller; null for a null object (or
// when the host has no memory for its side).
CLyricsPluginObject* AdoptPluginObject(void* exported);

}  // namespace host
