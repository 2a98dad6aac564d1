#pragma once

#include "loggingevent.h"
#include <hostexport.h>

namespace Log4Qt {

// Where log lines go. Appenders are called under the logging lock, one line at a time.
class HOST_EXPORT Appender
{
public:
    virtual ~Appender();
    virtual void append(const LoggingEvent &event) = 0;
};

} // namespace Log4Qt
