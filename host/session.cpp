#include "session.h"

QSharedPointer<AbstractDocument> Session::getDocument() const
{
    QMutexLocker lock(&m_mutex);
    return m_document;
}

void Session::setDocument(const QSharedPointer<AbstractDocument> &document)
{
    QMutexLocker lock(&m_mutex);
    m_document = document;
}

ProgressView *Session::getProgressView() const
{
    QMutexLocker lock(&m_mutex);
    return m_progressView;
}

void Session::setProgressView(ProgressView *view)
{
    QMutexLocker lock(&m_mutex);
    m_progressView = view;
}
