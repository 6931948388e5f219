// The two sides of "cstrike", as the match numbers them.
#pragma once

namespace simhost {

const int TERRORISTS = 0, COUNTER_TERRORISTS = 1;

}  // namespace simhost
