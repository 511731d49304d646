// The plug-in's one export and its information block.
#include <memory>

#include "plugin/instance_registry.h"
#include "plugin/tunewell.h"
#if defined(_WIN32)
#include "plugin/windows/microsoft_boundary.h"
#endif

// The block a host reads from the library file to recognise a search plug-in. Nothing refers
// to it: `used` keeps it in the read-only data all the same.
extern "C" [[gnu::used]] const char kTunewellPluginInfo[] =
    "###_PluginInfo_###"
    "Name=\"Tunewell\";"
    "Type=search;"
    "Version=2.1.2000.0;"
    "VersionInt=2.1;"
    "Author=\"Feldmark\";"
    "Desc=\"Search plugin for Tunewell\";"
    "InfoUrl=\"https://tunewell.example/plugin\";"
    "###";

#if defined(_WIN32)

// The hosts on Windows are laid out by Visual C++: they get the object's Microsoft-layout face.
extern "C" tunewell::msabi::PluginObject* GetDllInterface() {
  try {
    auto object = std::make_unique<plugin::windows::CTunewellBoundary>();
    CInstanceRegistry::Instance().Add(object.get());
    return object.release()->Face();
  } catch (...) {
    return nullptr;
  }
}

#else

extern "C" [[gnu::visibility("default")]] CLyricsDllInterface* GetDllInterface() {
  try {
    auto object = std::make_unique<CTunewell>();
    CInstanceRegistry::Instance().Add(object.get());
    return object.release();
  } catch (...) {
    return nullptr;
  }
}

#endif
