// What the tables of the languages share: the check, made as they compile,
// that each lists every message once and in the order of its enum, so that
// a message is looked up by its value.
#pragma once

#include "catalogue/catalogue.h"

template <typename Entry, size_t N> constexpr bool inEnumOrder(const Entry (&entries)[N]) {
  for (size_t i = 0; i < N; ++i) {
    if (static_cast<size_t>(entries[i].id) != i)
      return false;
  }
  return true;
}
