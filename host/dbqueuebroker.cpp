#include "dbqueuebroker.h"

#include "compactjson.h"
#include "config.h"
#include "queue/queueconnection.h"
#include "singleton.h"

#include <QByteArray>
#include <QDateTime>
#include <QFileInfo>
#include <QJsonDocument>

#include <mutex>

#include <sqlite3.h>

using namespace queuestore;

namespace {

const char *const DefaultFileName = "queue.sqlite";
const char *const PathSetting = "Queue:database";

QString nowText()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

// The database that `databasePath` names, absolute: an empty path means the host setting, else
// the default file in the working directory.
QString resolvedPath(const QString &databasePath)
{
    QString path = databasePath;
    if (path.isEmpty() && Singleton<Config>::instance)
        path = Singleton<Config>::instance->getString(QLatin1String(PathSetting)).trimmed();
    if (path.isEmpty())
        path = QLatin1String(DefaultFileName);
    // Pinned now, so that a later change of working directory cannot move the queue.
    return QFileInfo(path).absoluteFilePath();
}

} // namespace

class DBQueueBroker::Private
{
public:
    Private(const QString &path, OpenMode openMode)
        : mode(openMode), connection(path, openMode == OpenMode::ReadOnly)
    {}

    // Stores one message at the file the path names; its id.
    Result<qint64> store(const QString &type, const QByteArray &json, const QString &extra);

    // Keeps what `result` says for errorString(): a failure's text, none once an operation
    // succeeds. Gives its value, `failed` for a failure.
    template<typename T> T settle(const Result<T> &result, const T &failed)
    {
        error = result.error();
        return result.ok() ? result.value() : failed;
    }
    bool settle(const Result<> &result)
    {
        error = result.error();
        return result.ok();
    }

    const OpenMode mode;
    // Every use of these is under `mutex`.
    QueueConnection connection;
    QString error;
    mutable std::mutex mutex;
};

Result<qint64> DBQueueBroker::Private::store(const QString &type, const QByteArray &json,
                                             const QString &extra)
{
    if (const Result<> open = connection.ensureOpen(); !open)
        return ResultError(open.error());

    // The queue is the file its path names, the one the next replay reads: a file renamed
    // aside (an administrator clearing the queue) and a fresh one made at the path must not
    // swallow a message reported stored. Checked again once the row is in, since the file may
    // be moved meanwhile; the row is then stored at the path as well. The copy in the file left
    // stays: writing there again could reach the log the path's file now uses.
    const QString added = nowText();
    for (int tries = 1;; ++tries) {
        if (connection.hasMoved()) {
            if (const Result<> reopened = connection.reopenAtPath(); !reopened)
                return ResultError(reopened.error());
        }
        const Result<qint64> id = connection.insert(type, json, extra, added);
        if (!id || !connection.hasMoved())
            return id;
        if (tries == 3)
            return connection.failure(
                QStringLiteral("cannot store message: queue database %1 keeps "
                               "being replaced")
                    .arg(connection.path()));
    }
}

DBQueueBroker::DBQueueBroker() : DBQueueBroker(QString()) {}

DBQueueBroker::DBQueueBroker(const QString &databasePath, OpenMode mode)
    : d(new Private(resolvedPath(databasePath), mode))
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->settle(d->connection.ensureOpen());
}

DBQueueBroker::~DBQueueBroker() = default;

bool DBQueueBroker::addMessage(const QString &type, const QJsonObject &message,
                               const QString &extra)
{
    return addMessage(type, message, extra, nullptr);
}

bool DBQueueBroker::addMessage(const QString &type, const QJsonObject &message,
                               const QString &extra, qint64 *id)
{
    const QByteArray json = QJsonDocument(message).toJson(QJsonDocument::Compact);
    std::lock_guard<std::mutex> lock(d->mutex);
    const Result<qint64> stored = d->store(type, json, extra);
    d->error = stored.error();
    if (stored && id)
        *id = stored.value();
    return stored.ok();
}

QList<QueuedMessage> DBQueueBroker::pendingMessages() const
{
    QList<QueuedMessage> result;
    readPendingMessages([&result](const QueuedMessage &message) {
        result.append(message);
        return true;
    });
    return result;
}

bool DBQueueBroker::readPendingMessages(
    const std::function<bool(const QueuedMessage &)> &each) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->settle(d->connection.readRows("ORDER BY id", {}, each));
}

bool DBQueueBroker::readStoredMessages(const std::function<bool(const StoredMessage &)> &each) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    const char *const sql = "SELECT id, type, message, added, attempts FROM messages ORDER BY id";
    return d->settle(d->connection.readStatement(sql, {}, [&each](sqlite3_stmt *select) {
        const auto text = [select](int column) {
            // Blob, not text: SQLite hands out the stored UTF-8 without a conversion.
            return std::string_view(static_cast<const char *>(sqlite3_column_blob(select, column)),
                                    size_t(sqlite3_column_bytes(select, column)));
        };
        StoredMessage entry;
        entry.id = sqlite3_column_int64(select, 0);
        entry.type = text(1);
        entry.messageJson = text(2);
        // A row of another writer, or a damaged one, is parsed and written again, so that it
        // cannot become a line that is no JSON object.
        QByteArray rewritten;
        if (!CompactJson::isObject(entry.messageJson.data(), entry.messageJson.size())) {
            rewritten =
                QJsonDocument(QJsonDocument::fromJson(QByteArray(entry.messageJson.data(),
                                                                 int(entry.messageJson.size())))
                                  .object())
                    .toJson(QJsonDocument::Compact);
            entry.messageJson = std::string_view(rewritten.constData(), size_t(rewritten.size()));
        }
        entry.added = text(3);
        entry.attempts = sqlite3_column_int(select, 4);
        return each(entry);
    }));
}

QList<QueuedMessage> DBQueueBroker::pendingMessages(qint64 afterId, qint64 lastId, int limit) const
{
    QList<QueuedMessage> page;
    if (limit <= 0)
        return page;
    std::lock_guard<std::mutex> lock(d->mutex);
    d->settle(d->connection.readRows("WHERE id > ?1 AND id <= ?2 ORDER BY id LIMIT ?3",
                                     {afterId, lastId, limit},
                                     [&page](const QueuedMessage &message) {
                                         page.append(message);
                                         return true;
                                     }));
    return page;
}

qint64 DBQueueBroker::lastMessageId() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->settle(d->connection.readNumber("SELECT coalesce(max(id), 0) FROM messages", {}),
                     qint64(0));
}

int DBQueueBroker::pendingCount(qint64 afterId, qint64 lastId) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return int(d->settle(
        d->connection.readNumber("SELECT count(*) FROM messages WHERE id > ?1 AND id <= ?2",
                                 {afterId, lastId}),
        qint64(0)));
}

bool DBQueueBroker::recordAttempt(qint64 id)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->settle(d->connection.recordAttempt(id, nowText()), false);
}

bool DBQueueBroker::removeMessage(qint64 id)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->settle(d->connection.remove(id), false);
}

QString DBQueueBroker::pathSetting()
{
    return QString::fromLatin1(PathSetting);
}

QString DBQueueBroker::databasePath() const
{
    return d->connection.path();
}

DBQueueBroker::OpenMode DBQueueBroker::openMode() const
{
    return d->mode;
}

bool DBQueueBroker::isOpen() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->connection.isOpen();
}

QString DBQueueBroker::errorString() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->error;
}
