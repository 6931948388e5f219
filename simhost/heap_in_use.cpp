#include "simhost/heap_in_use.h"

#include <cstddef>
#include <cstdlib>  // defines __GLIBC__ where the C library is glibc

#if defined(__SANITIZE_ADDRESS__)
// Part of the sanitizer runtime; declared here because GCC ships no header for it.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#elif defined(_WIN32) || defined(__GLIBC__)
#include <malloc.h>
#endif

namespace simhost {

long long heap_in_use() {
#if defined(__SANITIZE_ADDRESS__)
    // The address sanitizer replaces malloc, and its mallinfo answers zeros: ask its allocator.
    return static_cast<long long>(__sanitizer_get_current_allocated_bytes());
#elif defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long long>(info.uordblks) + static_cast<long long>(info.hblkhd);
#elif defined(_WIN32)
    // The C runtime's heap, where malloc takes its blocks from, walked block by block.
    long long bytes = 0;
    _HEAPINFO entry{};
    int status;
    while ((status = _heapwalk(&entry)) == _HEAPOK)
        if (entry._useflag == _USEDENTRY)
            bytes += static_cast<long long>(entry._size);
    return status == _HEAPEND ? bytes : -1;
#else
    return -1;
#endif
}

}  // namespace simhost
