// Linked only into sanitizer builds.
//
// Mesa's driver allocates strings that it
// keeps until it is unloaded at exit; once unloaded, the leak checker cannot
// name the module and so cannot suppress them. Keeping the driver loaded
// lets the suppression file name it.
#include <dlfcn.h>

namespace {
struct KeepDriverLoaded {
  KeepDriverLoaded() {
    const char* const candidates[] = {
      "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so",
      "/usr/lib/x86_64-linux-gnu/dri/kms_swrast_dri.so",
    };
    for (const char* path : candidates) {
      if (dlopen(path, RTLD_NOW | RTLD_NODELETE | RTLD_GLOBAL)) break;
    }
  }
} s_keepDriverLoaded;
}  // namespace

// A request larger than the sanitizer's allocator serves returns null, as it
// does from the plain allocator, so the engine's own out-of-memory checks run.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
