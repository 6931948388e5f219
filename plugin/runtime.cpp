// The few pieces of the C++ runtime the plug-in uses, on top of the C library, so that the
// library needs no C++ runtime at all on the server.
#include <cstdlib>

void *operator new(std::size_t size) { return std::malloc(size ? size : 1); }
void *operator new[](std::size_t size) { return std::malloc(size ? size : 1); }
void operator delete(void *block) noexcept { std::free(block); }
void operator delete[](void *block) noexcept { std::free(block); }
void operator delete(void *block, std::size_t) noexcept { std::free(block); }
void operator delete[](void *block, std::size_t) noexcept { std::free(block); }
