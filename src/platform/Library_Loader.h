#pragma once
// Shared libraries opened by soname the first time a feature needs them, so a
// run that never opens a window, plays a sound or draws text never maps them.
#include <atomic>
#include <cstddef>
#include <mutex>

// One shared library and the functions the runner takes from it. Everything
// is looked up together, on the first call of any of its functions (or on
// Load): a library that is missing, or lacks one of the functions, is said
// once on stderr by name and reason, and every function of it then fails the
// way the library itself reports a failure. Safe to use from any thread.
class CLibraryImport {
 public:
  // `purpose` ends the message "cannot use <soname> for <purpose>".
  constexpr CLibraryImport(const char* soname, const char* purpose, const char* const* names, void** slots,
                           size_t count)
      : soname_(soname), purpose_(purpose), names_(names), slots_(slots), count_(count) {}
  CLibraryImport(const CLibraryImport&) = delete;
  CLibraryImport& operator=(const CLibraryImport&) = delete;

  // True once the library and all its functions are found.
  bool Load() { return loaded_.load(std::memory_order_acquire) || LoadOnce(); }
  // Why the library cannot be used ("libfoo.so.1: cannot open shared object
  // file: ..."); empty until a load has failed.
  const char* Error() const { return error_; }
  const char* Soname() const { return soname_; }

 private:
  bool LoadOnce();

  const char* soname_;
  const char* purpose_;
  const char* const* names_;
  void** slots_;
  size_t count_;
  std::atomic<bool> loaded_{false};
  std::once_flag once_;
  char error_[512] = {};
};

// The libraries of the window, drawing, sound and text, each defined with its
// functions in one file of forwarders (platform/import, platform/sdl,
// platform/gl).
CLibraryImport& SdlLibrary();
CLibraryImport& GlLibrary();
CLibraryImport& SndfileLibrary();
CLibraryImport& FluidsynthLibrary();
CLibraryImport& FontconfigLibrary();
CLibraryImport& FreetypeLibrary();
CLibraryImport& X11Library();

// A file of forwarders lists its functions as
//   X(return type, name, value on failure, (parameters), (arguments))
// and ends with RR_IMPORT_LIBRARY. Each forwarder is defined with the
// parameters written out, so the library's own header, included before, is
// the one source of the types: a forwarder that disagrees with its
// declaration does not compile. `void()` is the failure of a void function.
#define RR_IMPORT_INDEX(ret, name, fail, params, args) kImport_##name,
#define RR_IMPORT_NAME(ret, name, fail, params, args) #name,
#define RR_IMPORT_FORWARD(ret, name, fail, params, args)                          \
  extern "C" ret name params {                                                    \
    if (!rr_import::library.Load()) return fail;                                  \
    return reinterpret_cast<decltype(&::name)>(rr_import::slots[rr_import::kImport_##name]) args; \
  }

#define RR_IMPORT_LIBRARY(accessor, soname, purpose, LIST)                                             \
  namespace rr_import {                                                                                \
  namespace {                                                                                          \
  enum : size_t { LIST(RR_IMPORT_INDEX) kImportCount };                                                \
  constexpr const char* names[] = {LIST(RR_IMPORT_NAME)};                                              \
  void* slots[kImportCount];                                                                           \
  constinit CLibraryImport library(soname, purpose, names, slots, kImportCount);                       \
  }                                                                                                    \
  }                                                                                                    \
  CLibraryImport& accessor() { return rr_import::library; }                                            \
  LIST(RR_IMPORT_FORWARD)
