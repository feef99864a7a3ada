// Opening a shared library by soname and looking up its functions.
#include "platform/Library_Loader.h"

#include <dlfcn.h>

#include <cstdio>

bool CLibraryImport::LoadOnce() {
  std::call_once(once_, [this] {
    // Local: the library's names must not take the place of another's, nor
    // of our forwarders. Now: a missing function shows here, not mid-game.
    void* handle = ::dlopen(soname_, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      const char* why = ::dlerror();
      std::snprintf(error_, sizeof error_, "%s", why ? why : soname_);
    } else {
      for (size_t i = 0; i < count_; ++i) {
        ::dlerror();
        slots_[i] = ::dlsym(handle, names_[i]);
        if (slots_[i] == nullptr) {
          std::snprintf(error_, sizeof error_, "%s has no function %s", soname_, names_[i]);
          break;
        }
      }
      // Never closed: the library may have registered exit handlers and
      // threads that outlive any one use.
    }
    if (error_[0] != '\0') {
      std::fprintf(stderr, "roomrun: cannot use %s for %s: %s\n", soname_, purpose_, error_);
      return;
    }
    loaded_.store(true, std::memory_order_release);
  });
  return loaded_.load(std::memory_order_acquire);
}
