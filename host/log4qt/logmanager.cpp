#include "logmanager.h"

#include "treemutex.h"

#include <QHash>

namespace Log4Qt {

namespace {

QHash<QString, Logger *> &loggers()
{
    static QHash<QString, Logger *> map;
    return map;
}

} // namespace

QRecursiveMutex &treeMutex()
{
    static QRecursiveMutex mutex;
    return mutex;
}

Logger *LogManager::logger(const QString &name, const QString &loggerRepository)
{
    Q_UNUSED(loggerRepository)
    QMutexLocker lock(&treeMutex());
    Logger *&entry = loggers()[name];
    if (!entry)
        entry = new Logger(name);
    return entry;
}

Logger *LogManager::rootLogger()
{
    static Logger *root = new Logger(QStringLiteral("root"));
    return root;
}

} // namespace Log4Qt
