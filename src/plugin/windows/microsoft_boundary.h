// CTunewellBoundary: the plug-in object as the Windows hosts meet it. It is an ordinary
// CTunewell (registered, torn down at unload and used by the core like any other) that carries
// a face in the Microsoft layout of tunewell/microsoft_abi.h: a table of twelve thiscall slots
// which read and write the host's framework strings and present the host's callback, ignore
// list and song lists to the core as its usual interfaces. Each slot catches everything. One
// thread at a time uses an object, as on every platform.
#pragma once

#include "plugin/tunewell.h"
#include "tunewell/microsoft_abi.h"

namespace plugin::windows {

// The host's CHostIgnore as the core sees it.
class HostIgnoreBridge : public CHostIgnore {
 public:
  tunewell::msabi::HostIgnore* host = nullptr;

  void AddHost(const char16_t* name, int flag) override;
  void RemoveHost(const char16_t* name) override;
};

// The host's CHostCallback as the core sees it. The strings it hands the host come from the
// manager of a host string argument of the slot now running; with none at hand QueryValue
// answers 0.
class HostCallbackBridge : public CHostCallback {
 public:
  tunewell::msabi::HostCallback* host = nullptr;
  tunewell::msabi::StringManager* manager = nullptr;

  int QueryValue(const WString& name, void* value) override;
  void Notify() override;
  bool QueryCancel() override;

 private:
  HostIgnoreBridge ignore_;
};

class CTunewellBoundary final : public CTunewell {
 public:
  CTunewellBoundary();

  tunewell::msabi::PluginObject* Face() { return &face_; }
  static CTunewellBoundary* Owner(tunewell::msabi::PluginObject* face) {
    return static_cast<FaceObject*>(face)->owner;
  }
  HostCallbackBridge& Callback() { return callback_; }

 private:
  struct FaceObject : tunewell::msabi::PluginObject {
    CTunewellBoundary* owner;
  };
  FaceObject face_;
  HostCallbackBridge callback_;
};

}  // namespace plugin::windows
