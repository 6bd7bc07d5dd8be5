// The removable drives present (USB sticks, card readers), which the copy
// window offers first as destinations.
#pragma once

#include "catalogue/catalogue.h"

#include <string>
#include <vector>

struct RemovableDrive {
  std::wstring root;  // "E:\"
  std::wstring label; // "E:\ 名前 (空き 3.2 GB)", as the destination list shows it
};

std::vector<RemovableDrive> removableDrives(const Catalogue &messages);
