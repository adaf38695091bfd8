#pragma once
// A shared library the program loads itself when it first needs it, instead of having the
// dynamic loader map and bind it before main. The window needs neither HTTP (libcurl with its
// TLS, Kerberos and LDAP libraries) nor ZIP for its first paint, and mapping and binding those
// libraries took about a third of the time before it. Internal to platform/posix.
//
// Thread contract: construct once (a function-local static), then find() from any thread. The
// library stays loaded until the process ends, so the functions found stay valid.

#include <string>

namespace zentro::platform::posix {

class LoadedLibrary {
 public:
  // Loads the library with the given SONAME ("libcurl.so.4"), binding all its symbols now.
  explicit LoadedLibrary(const char* soname);
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  // False when the library could not be loaded; why() then says why.
  bool loaded() const { return handle_ != nullptr; }
  const std::string& why() const { return why_; }

  // Points `function` at the library's function `name`; false (and nullptr) when the library
  // is not loaded or has no such function. `F` is the function's own type, taken from the
  // library's header (decltype(curl_easy_init)), so every call is checked against it.
  template <class F>
  bool find(F*& function, const char* name) const {
    function = reinterpret_cast<F*>(symbol(name));
    return function != nullptr;
  }

 private:
  void* symbol(const char* name) const;

  void* handle_ = nullptr;
  std::string why_;
};

}  // namespace zentro::platform::posix
