#pragma once

#include "level.h"

#include <QDateTime>
#include <QString>

namespace Log4Qt {

// One line as it reaches the appenders.
struct LoggingEvent
{
    QDateTime timeStamp;
    Level level;
    QString loggerName;
    QString message;
};

} // namespace Log4Qt
