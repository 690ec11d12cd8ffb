#include "platform/mpv/HeapRelease.h"

#include <mutex>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace platform::mpv {

namespace {
// A buffer this large or larger is mapped on its own and unmapped when freed: a 4K picture's
// planes and more. Smaller ones, an ordinary clip's, stay in the heap, where they are reused
// without a system call.
constexpr int kOwnMappingFrom = 4 * 1024 * 1024;
// Free memory at the end of a heap beyond this goes back at once. Each decoder thread has a heap
// of its own, so this is kept at most once a thread; playing 1080p, no more pages are taken anew
// than with glibc's own thresholds.
constexpr int kKeptFreeAtHeapEnd = 1024 * 1024;
} // namespace

void returnFreedMemoryToSystem() {
#if defined(__GLIBC__)
    static std::once_flag once;
    // Setting either one also stops glibc from moving both as buffers are freed.
    std::call_once(once, [] {
        mallopt(M_MMAP_THRESHOLD, kOwnMappingFrom);
        mallopt(M_TRIM_THRESHOLD, kKeptFreeAtHeapEnd);
    });
#endif
}

} // namespace platform::mpv
