// Boost.JSON compiled into the web soak once (Debian ships its headers, not a library for it).
#include <boost/json/src.hpp>
