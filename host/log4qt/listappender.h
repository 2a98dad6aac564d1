#pragma once

#include "appender.h"

#include <QList>
#include <QMutex>

namespace Log4Qt {

// Keeps every line it is given, for tests to read.
class HOST_EXPORT ListAppender : public Appender
{
public:
    void append(const LoggingEvent &event) override;

    QList<LoggingEvent> list() const;
    void clearList();

private:
    mutable QMutex mMutex;
    QList<LoggingEvent> mList;
};

} // namespace Log4Qt
