#include "logger.h"

#include "appender.h"
#include "logmanager.h"
#include "treemutex.h"

namespace Log4Qt {

Logger::Logger(const QString &name) : m_name(name) {}

Logger::~Logger() = default;

Level Logger::level() const
{
    std::lock_guard<std::recursive_mutex> lock(treeMutex());
    return m_level;
}

void Logger::setLevel(Level level)
{
    std::lock_guard<std::recursive_mutex> lock(treeMutex());
    m_level = level;
}

void Logger::addAppender(Appender *appender)
{
    std::lock_guard<std::recursive_mutex> lock(treeMutex());
    if (appender && !m_appenders.contains(appender))
        m_appenders.append(appender);
}

void Logger::removeAppender(Appender *appender)
{
    std::lock_guard<std::recursive_mutex> lock(treeMutex());
    m_appenders.removeAll(appender);
}

bool Logger::isEnabledFor(Level level) const
{
    std::lock_guard<std::recursive_mutex> lock(treeMutex());
    return isEnabledForLocked(level);
}

bool Logger::wouldLog(Level level) const
{
    std::lock_guard<std::recursive_mutex> lock(treeMutex());
    return hasAppendersLocked() && isEnabledForLocked(level);
}

bool Logger::isEnabledForLocked(Level level) const
{
    // A logger without a level of its own inherits the root's; NULL everywhere means all.
    Level threshold = m_level;
    if (threshold == Level::NULL_INT && this != LogManager::rootLogger())
        threshold = LogManager::rootLogger()->m_level;
    return level >= threshold;
}

bool Logger::hasAppendersLocked() const
{
    return !m_appenders.isEmpty() || !LogManager::rootLogger()->m_appenders.isEmpty();
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
    std::lock_guard<std::recursive_mutex> lock(treeMutex());
    // Checked before the event exists: its local-time timestamp is the costly part of a line,
    // and a host that attached no appender would pay it on every call for nothing.
    if (!hasAppendersLocked() || !isEnabledForLocked(level))
        return;
    const LoggingEvent event{QDateTime::currentDateTime(), level, m_name, message};
    for (Appender *appender : m_appenders)
        appender->append(event);
    const Logger *root = LogManager::rootLogger();
    if (root != this) {
        for (Appender *appender : root->m_appenders)
            appender->append(event);
    }
}

} // namespace Log4Qt
