// How the serving process pools its memory (GNU C library arenas; elsewhere nothing to do).
#include "gateway/gatewayMemory.h"

#include <cstdlib>  // defines __GLIBC__ with the GNU C library

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace quorvel::gateway {

void shareMemoryPools() {
#if defined(__GLIBC__)
  mallopt(M_ARENA_MAX, 2);
#endif
}

void releaseFreeMemory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

} // namespace quorvel::gateway
