#pragma once

#include "hostexport.h"
#include "queuedmessage.h"

#include <QJsonObject>
#include <QList>
#include <QScopedPointer>
#include <QString>

// The host's persistent message queue on SQLite. A message is on disk (committed, WAL,
// synchronous FULL) before addMessage returns true.
class HOST_EXPORT DBQueueBroker
{
public:
    // The database named by the host setting "Queue:database", else "queue.sqlite" in the
    // working directory.
    DBQueueBroker();
    explicit DBQueueBroker(const QString &databasePath);
    virtual ~DBQueueBroker();

    DBQueueBroker(const DBQueueBroker &) = delete;
    DBQueueBroker &operator=(const DBQueueBroker &) = delete;

    bool addMessage(const QString &type, const QJsonObject &message, const QString &extra);

    // Host side: pending messages, oldest first.
    QList<QueuedMessage> pendingMessages() const;
    bool recordAttempt(qint64 id);
    bool removeMessage(qint64 id);

    QString databasePath() const;
    bool isOpen() const;
    QString lastError() const;

private:
    class Private;
    QScopedPointer<Private> d;
};
