// How the serving process pools its memory.
#pragma once

namespace quorvel::gateway {

/// Lets all threads of the process share two memory pools of the C library
/// instead of taking one each. A pool keeps memory that a large batch used,
/// to serve later requests from; with a pool per thread, the resident size
/// would grow by a batch's worth for every server thread that ever read one.
/// Call before starting threads. Does nothing where the C library has no such pools.
void shareMemoryPools();

/// Hands the memory the C library's pools hold unused back to the system,
/// so that one large request does not keep the process at its peak size.
/// Takes a few milliseconds after a large request; does nothing where the C
/// library cannot.
void releaseFreeMemory();

} // namespace quorvel::gateway
