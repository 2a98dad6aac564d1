#pragma once

#include "appender.h"

#include <QList>

#include <mutex>

namespace Log4Qt {

// Keeps every line it is given, for tests to read.
class HOST_EXPORT ListAppender : public Appender
{
public:
    void append(const LoggingEvent &event) override;

    QList<LoggingEvent> list() const;
    void clearList();

private:
    mutable std::mutex m_mutex;
    QList<LoggingEvent> m_list;
};

} // namespace Log4Qt
