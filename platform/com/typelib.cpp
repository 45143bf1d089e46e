// Lookups in type-library descriptions, shared by every platform.
#include "com/typelib.h"

namespace quorvel::com {

const InterfaceDesc* findInterface(const TypeLibDesc& lib, REFIID iid) {
  for (const InterfaceDesc& i : lib.interfaces)
    if (i.iid == iid) return &i;
  return nullptr;
}

} // namespace quorvel::com
