#pragma once

#include "logger.h"
#include <hostexport.h>

#include <QString>

namespace Log4Qt {

class HOST_EXPORT LogManager
{
public:
    // The named logger, created on first use and kept for the life of the process. The
    // second argument names a repository in the full library; it is accepted and unused.
    static Logger *logger(const QString &name, const QString &loggerRepository = QString());
    static Logger *rootLogger();
};

} // namespace Log4Qt
