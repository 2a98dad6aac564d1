#include "listappender.h"

namespace Log4Qt {

void ListAppender::append(const LoggingEvent &event)
{
    QMutexLocker lock(&mMutex);
    mList.append(event);
}

QList<LoggingEvent> ListAppender::list() const
{
    QMutexLocker lock(&mMutex);
    return mList;
}

void ListAppender::clearList()
{
    QMutexLocker lock(&mMutex);
    mList.clear();
}

} // namespace Log4Qt
