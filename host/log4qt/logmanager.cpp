#include "logmanager.h"

#include "treemutex.h"

#include <QHash>

namespace Log4Qt {

namespace {

QHash<QString, Logger *> &loggers()
{
    // Loggers live as long as the process and are handed out as raw pointers: the map is
    // never destroyed, so that no exit-time destructor leaves them dangling or unreachable.
    static auto *map = new QHash<QString, Logger *>;
    return *map;
}

} // namespace

std::recursive_mutex &treeMutex()
{
    static std::recursive_mutex mutex;
    return mutex;
}

Logger *LogManager::logger(const QString &name, const QString &loggerRepository)
{
    Q_UNUSED(loggerRepository)
    std::lock_guard<std::recursive_mutex> lock(treeMutex());
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
