#include "Platform/Memory.h"

#include <malloc.h>

namespace Platform::Memory {
void giveBack() {
#if defined(__GLIBC__)
    ::malloc_trim(0);
#endif
}

void giveBackAsFreed() {
#if defined(__GLIBC__)
    // The allocator's own starting values, kept fixed.
    ::mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    ::mallopt(M_TRIM_THRESHOLD, 128 * 1024);
    ::mallopt(M_MXFAST, 0);
#endif
}
}  // namespace Platform::Memory
