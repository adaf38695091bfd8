#include "platform/posix/loaded_library.h"

#include <dlfcn.h>

namespace zentro::platform::posix {

LoadedLibrary::LoadedLibrary(const char* soname) {
  // Local: the library's symbols serve only the calls found here, never other libraries.
  handle_ = ::dlopen(soname, RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* error = ::dlerror();
    why_ = error != nullptr ? error : soname;
  }
}

void* LoadedLibrary::symbol(const char* name) const {
  return handle_ != nullptr ? ::dlsym(handle_, name) : nullptr;
}

}  // namespace zentro::platform::posix
