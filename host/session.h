#pragma once

#include "abstractdocument.h"
#include "hostexport.h"
#include "progressview.h"

#include <QSharedPointer>

#include <mutex>

// The host's session: the receipt being paid or refunded and the progress display. Either
// may be absent.
class HOST_EXPORT Session
{
public:
    Session() = default;
    virtual ~Session() = default;

    QSharedPointer<AbstractDocument> getDocument() const;
    void setDocument(const QSharedPointer<AbstractDocument> &document);

    // Not owned; the caller keeps the display alive while it is set.
    ProgressView *getProgressView() const;
    void setProgressView(ProgressView *view);

private:
    mutable std::mutex m_mutex;
    QSharedPointer<AbstractDocument> m_document;
    ProgressView *m_progressView = nullptr;
};
