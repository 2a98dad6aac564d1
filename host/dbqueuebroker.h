#pragma once

#include "hostexport.h"
#include "queuedmessage.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QScopedPointer>
#include <QString>

#include <functional>
#include <string_view>

// The host's persistent message queue on SQLite. A message is on disk (committed, WAL,
// synchronous FULL) before addMessage returns true.
class HOST_EXPORT DBQueueBroker
{
public:
    // ReadOnly opens an existing database without writing to it or its directory (no journal
    // mode switch, no schema): for listing a queue that may sit on a read-only file or in a
    // read-only directory. Every change then fails with errorString() set.
    enum class OpenMode { ReadWrite, ReadOnly };

    // The database named by the host setting "Queue:database", else "queue.sqlite" in the
    // working directory. A database that cannot be opened leaves isOpen() false; every
    // operation then tries again and fails softly until it can.
    DBQueueBroker();
    // An empty path means the default above.
    explicit DBQueueBroker(const QString &databasePath, OpenMode mode = OpenMode::ReadWrite);
    virtual ~DBQueueBroker();

    DBQueueBroker(const DBQueueBroker &) = delete;
    DBQueueBroker &operator=(const DBQueueBroker &) = delete;

    // False when the message could not be stored; errorString() then says why.
    bool addMessage(const QString &type, const QJsonObject &message, const QString &extra);
    // The same, also giving the id under which the host side will list the message.
    bool addMessage(const QString &type, const QJsonObject &message, const QString &extra,
                    qint64 *id);

    // Host side: pending messages, oldest first.
    QList<QueuedMessage> pendingMessages() const;
    // The same one message at a time, as each is read, so that a long queue is never held
    // whole; `each` returns false to stop early. It runs with the queue locked and must not
    // call the queue. False when the queue could not be read; errorString() then says why.
    bool readPendingMessages(const std::function<bool(const QueuedMessage &)> &each) const;
    // A message as stored, for a listing that writes it out. The texts are the row's own UTF-8,
    // valid only during the call: the message as one line of JSON of an object (written again
    // when the stored text is not that, "{}" when it is no object at all), the time added as
    // stored.
    struct StoredMessage
    {
        qint64 id = 0;
        std::string_view type;
        std::string_view messageJson;
        std::string_view added;
        int attempts = 0;
    };
    // readPendingMessages() without parsing what it writes out again.
    bool readStoredMessages(const std::function<bool(const StoredMessage &)> &each) const;
    // A page of them, oldest first: at most `limit` messages with ids above `afterId` and not
    // above `lastId`. A long queue is gone through a page at a time, the queue free for changes
    // between pages; an unreadable queue gives an empty page with errorString() set.
    QList<QueuedMessage> pendingMessages(qint64 afterId, qint64 lastId, int limit) const;
    // The newest message's id, 0 when the queue is empty or cannot be read: where a pass
    // through the queue that begins now ends, whatever is added meanwhile.
    qint64 lastMessageId() const;
    // How many messages have ids above `afterId` and not above `lastId`.
    int pendingCount(qint64 afterId, qint64 lastId) const;
    // Both are false when no message has that id.
    bool recordAttempt(qint64 id);
    bool removeMessage(qint64 id);

    // The host setting that names the database: "Queue:database".
    static QString pathSetting();

    // Absolute, fixed at construction.
    QString databasePath() const;
    bool isOpen() const;
    OpenMode openMode() const;
    QString errorString() const;

private:
    class Private;
    QScopedPointer<Private> d;
};
