#include "session.h"

QSharedPointer<AbstractDocument> Session::getDocument() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_document;
}

void Session::setDocument(const QSharedPointer<AbstractDocument> &document)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_document = document;
}

ProgressView *Session::getProgressView() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_progressView;
}

void Session::setProgressView(ProgressView *view)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_progressView = view;
}
