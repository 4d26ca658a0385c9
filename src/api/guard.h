#pragma once
// Nothing may leave an export as an exception: a C host cannot catch it.
#include <cstdint>
#include <exception>

namespace dorvik {

template <typename Body>
int32_t Guarded(int32_t onException, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return onException;
  }
}

}  // namespace dorvik
