// The plug-in's one export and its information block.
#include <memory>

#include "plugin/instance_registry.h"
#include "plugin/tunewell.h"

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

extern "C" [[gnu::visibility("default")]] CLyricsDllInterface* GetDllInterface() {
  try {
    auto object = std::make_unique<CTunewell>();
    CInstanceRegistry::Instance().Add(object.get());
    return object.release();
  } catch (...) {
    return nullptr;
  }
}
