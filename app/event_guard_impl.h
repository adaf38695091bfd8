#pragma once
// Template part of EventGuard.

#include <exception>

#include "platform/runtime_error.h"

namespace zentro {

template <class F>
void EventGuard::guarded(F&& handler) {
  try {
    handler();
  } catch (const RuntimeError& e) {
    report(e.description());
  } catch (const std::exception& e) {
    report(e.what());
  }
}

}  // namespace zentro
