#pragma once

#include <QMutex>

namespace Log4Qt {

// One lock for the whole logging tree: lines from two threads never interleave, and
// appenders need no locking of their own.
QRecursiveMutex &treeMutex();

} // namespace Log4Qt
