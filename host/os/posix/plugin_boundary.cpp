#include "os/plugin_boundary.h"

namespace host {

// Plug-in and host come from one compiler here: the object is the interface itself.
CLyricsPluginObject* AdoptPluginObject(void* exported) {
  return static_cast<CLyricsPluginObject*>(static_cast<CLyricsDllInterface*>(exported));
}

}  // namespace host
