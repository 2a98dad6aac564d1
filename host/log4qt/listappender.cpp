#include "listappender.h"

namespace Log4Qt {

void ListAppender::append(const LoggingEvent &event)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_list.append(event);
}

QList<LoggingEvent> ListAppender::list() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_list;
}

void ListAppender::clearList()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_list.clear();
}

} // namespace Log4Qt
