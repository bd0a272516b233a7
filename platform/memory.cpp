#include "platform/memory.h"

#include <cstdlib>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace platform {

void KeepLargeBlocks() {
#if defined(__GLIBC__)
    // Blocks up to 64 MiB come from the heap rather than a mapping of their
    // own, and the heap keeps up to 256 MiB free at its top rather than
    // trim it. A sanitizer's allocator ignores both.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
}

}  // namespace platform
