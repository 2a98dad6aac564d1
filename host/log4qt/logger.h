#pragma once

#include "level.h"
#include <hostexport.h>

#include <QList>
#include <QString>

namespace Log4Qt {

class Appender;

class HOST_EXPORT Logger
{
public:
    QString name() const { return m_name; }

    Level level() const;
    void setLevel(Level level);

    // Appenders are not owned. A line goes to the logger's own appenders and then to the
    // root logger's.
    void addAppender(Appender *appender);
    void removeAppender(Appender *appender);

    bool isEnabledFor(Level level) const;
    // Whether a line of this level would reach any appender, the root's included; lets a
    // caller skip building a line that nobody would receive.
    bool wouldLog(Level level) const;

    void debug(const QString &message) const;
    void info(const QString &message) const;
    void warn(const QString &message) const;
    void error(const QString &message) const;
    void fatal(const QString &message) const;
    void log(Level level, const QString &message) const;

private:
    friend class LogManager;
    explicit Logger(const QString &name);
    ~Logger();

    // Both expect the tree lock to be held.
    bool isEnabledForLocked(Level level) const;
    bool hasAppendersLocked() const;

    QString m_name;
    Level m_level;
    QList<Appender *> m_appenders;
};

} // namespace Log4Qt
