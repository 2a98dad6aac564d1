#pragma once

#include <mutex>

namespace Log4Qt {

// One lock for the whole logging tree: lines from two threads never interleave, and
// appenders need no locking of their own.
std::recursive_mutex &treeMutex();

} // namespace Log4Qt
