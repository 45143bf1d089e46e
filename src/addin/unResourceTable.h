// The table of resources linked into the library (generated at build time
// from the resource files).
#pragma once

#include <cstddef>

namespace quorvel {

/// One resource: its type, id and bytes.
struct TResourceEntry {
  const char* type;
  int id;
  const unsigned char* data;
  size_t size;
};

extern const TResourceEntry kResourceTable[];
extern const size_t kResourceCount;

} // namespace quorvel
