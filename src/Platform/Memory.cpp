#include "Platform/Memory.h"

#include <malloc.h>

namespace Platform::Memory {
void giveBack() {
#if defined(__GLIBC__)
    ::malloc_trim(0);
#endif
}
}  // namespace Platform::Memory
