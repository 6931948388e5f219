// Boost.JSON compiled into this program once (Debian ships its headers, not a library for it).
#include <boost/json/src.hpp>
