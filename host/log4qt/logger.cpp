#include "logger.h"

#include "appender.h"
#include "logmanager.h"
#include "treemutex.h"

namespace Log4Qt {

Logger::Logger(const QString &name) : mName(name) {}

Logger::~Logger() = default;

Level Logger::level() const
{
    QMutexLocker lock(&treeMutex());
    return mLevel;
}

void Logger::setLevel(Level level)
{
    QMutexLocker lock(&treeMutex());
    mLevel = level;
}

void Logger::addAppender(Appender *appender)
{
    QMutexLocker lock(&treeMutex());
    if (appender && !mAppenders.contains(appender))
        mAppenders.append(appender);
}

void Logger::removeAppender(Appender *appender)
{
    QMutexLocker lock(&treeMutex());
    mAppenders.removeAll(appender);
}

bool Logger::isEnabledFor(Level level) const
{
    QMutexLocker lock(&treeMutex());
    return isEnabledForLocked(level);
}

bool Logger::wouldLog(Level level) const
{
    QMutexLocker lock(&treeMutex());
    return hasAppendersLocked() && isEnabledForLocked(level);
}

bool Logger::isEnabledForLocked(Level level) const
{
    // A logger without a level of its own inherits the root's; NULL everywhere means all.
    Level threshold = mLevel;
    if (threshold == Level::NULL_INT && this != LogManager::rootLogger())
        threshold = LogManager::rootLogger()->mLevel;
    return level >= threshold;
}

bool Logger::hasAppendersLocked() const
{
    return !mAppenders.isEmpty() || !LogManager::rootLogger()->mAppenders.isEmpty();
}

void Logger::debug(const QString &message) const
{
    log(Level::DEBUG_INT, message);
}
void Logger::info(const QString &message) const
{
    log(Level::INFO_INT, message);
}
void Logger::warn(const QString &message) const
{
    log(Level::WARN_INT, message);
}
void Logger::error(const QString &message) const
{
    log(Level::ERROR_INT, message);
}
void Logger::fatal(const QString &message) const
{
    log(Level::FATAL_INT, message);
}

void Logger::log(Level level, const QString &message) const
{
    QMutexLocker lock(&treeMutex());
    // Checked before the event exists: its local-time timestamp is the costly part of a line,
    // and a host that attached no appender would pay it on every call for nothing.
    if (!hasAppendersLocked() || !isEnabledForLocked(level))
        return;
    const LoggingEvent event{QDateTime::currentDateTime(), level, mName, message};
    for (Appender *appender : mAppenders)
        appender->append(event);
    const Logger *root = LogManager::rootLogger();
    if (root != this) {
        for (Appender *appender : root->mAppenders)
            appender->append(event);
    }
}

} // namespace Log4Qt
