// The bytes the process has allocated and not freed, for watching a long run for growth.
#pragma once

namespace simhost {

// Heap bytes in use (small blocks and large mapped ones); -1 where the C library cannot tell.
long long heap_in_use();

}  // namespace simhost
