// The processor time the calling thread has used: what a piece of code costs, whatever else the
// machine runs at the same time (waiting, for the processor or in a blocking call, adds nothing).
#pragma once

namespace testing_support {

// Seconds of processor time, user and system, used by the calling thread so far.
double thread_cpu_seconds();

}  // namespace testing_support
