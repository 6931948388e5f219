// Boost.JSON compiled into the benchmark once (Debian ships its headers, not a library for it).
#include <boost/json/src.hpp>
