#include "dbqueuebroker.h"

#include "compactjson.h"
#include "config.h"
#include "queue/keptstatementuse.h"
#include "queue/sqlitestatement.h"
#include "singleton.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QUrl>

#include <array>
#include <initializer_list>
#include <mutex>

#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace queuestore;

namespace {

const char *const DefaultFileName = "queue.sqlite";
const char *const PathSetting = "Queue:database";
// Long enough to ride out another process's commit (an fsync or two) on a slow disk.
const int BusyTimeoutMs = 5000;

const char *const Schema = "CREATE TABLE IF NOT EXISTS messages ("
                           " id INTEGER PRIMARY KEY AUTOINCREMENT,"
                           " type TEXT NOT NULL,"
                           " message TEXT NOT NULL,"
                           " extra TEXT NOT NULL DEFAULT '',"
                           " added TEXT NOT NULL,"
                           " attempts INTEGER NOT NULL DEFAULT 0,"
                           " last_attempt TEXT)";

QString nowText()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

QDateTime parseTime(const QString &text)
{
    if (text.isEmpty())
        return QDateTime();
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (time.isValid())
        time = time.toUTC();
    return time;
}

// Every column of a message, in the order Private::readRows reads them.
const char *const SelectMessages =
    "SELECT id, type, message, extra, added, attempts, last_attempt FROM messages";

// The statements every queue operation runs, prepared once per connection: preparing costs
// more than a small row's insert itself.
enum class Kept { Insert, Update, Delete, Count };

const char *const KeptSql[] = {
    "INSERT INTO messages (type, message, extra, added, attempts) VALUES (?1, ?2, ?3, ?4, 0)",
    "UPDATE messages SET attempts = attempts + 1, last_attempt = ?1 WHERE id = ?2",
    "DELETE FROM messages WHERE id = ?1",
};

} // namespace

class DBQueueBroker::Private
{
public:
    ~Private() { close(); }

    // Everything below runs under `mutex`; the connection is also opened fully serialised, so a
    // stray use from another thread cannot corrupt the handle.
    bool ensureOpen();
    // Makes an absent database file with the queue's permissions; an existing one is kept.
    void createPrivately();
    bool openReadOnly();
    // Opens `name` with `flags` and sets the connection up; false with lastError set.
    bool openConnection(const QByteArray &name, int flags);
    // Whether the messages table exists; a read-only connection cannot create it.
    bool probeTable(bool *exists);
    void close();
    bool exec(const char *sql);
    bool fail(const QString &what);
    // The connection's prepared statement, made on first use; null (with errorString() set) when
    // it cannot be prepared.
    sqlite3_stmt *kept(Kept which, const QString &what);
    // Prepares `sql` (a select of SelectMessages' columns) with `numbers` bound to ?1, ?2, ...
    // and hands out each row as it is read until `each` returns false; false with errorString()
    // set when the queue could not be read.
    bool readRows(const QByteArray &sql, std::initializer_list<qint64> numbers,
                  const std::function<bool(const QueuedMessage &)> &each);
    // The same for any select: hands `row` the statement on each row.
    bool readStatement(const QByteArray &sql, std::initializer_list<qint64> numbers,
                       const std::function<bool(sqlite3_stmt *)> &row);
    // The first column of the one row of `sql`, 0 when it could not be read.
    qint64 readNumber(const char *sql, std::initializer_list<qint64> numbers);
    // Prepares `sql` into `statement` and binds `numbers`; false with errorString() set.
    bool prepareWith(SqliteStatement *statement, const char *sql,
                     std::initializer_list<qint64> numbers);
    // Whether the open database is no longer the file that `path` names: renamed aside or
    // removed, with or without a fresh file at the path.
    bool hasMoved();
    // Stores one message on the open connection; false with lastError set.
    bool insert(const QString &type, const QByteArray &json, const QString &extra,
                const QString &added, qint64 *id);
    // Leaves the open database for the file the path names now (made afresh when there is
    // none), its ids continuing above those of the file left, so that an id read from that one
    // never names another message here. The file left is closed without a checkpoint: its
    // write-ahead log still has the path's name and may be the new file's log by now.
    bool reopenAtPath();

    QString path;
    OpenMode mode = OpenMode::ReadWrite;
    // Read-only only: an empty database without the table lists nothing.
    bool hasTable = true;
    sqlite3 *db = nullptr;
    // Belong to `db`: finalized before it closes, prepared again on the next connection.
    std::array<sqlite3_stmt *, static_cast<size_t>(Kept::Count)> statements{};
    QString lastError;
    mutable std::mutex mutex;
};

bool DBQueueBroker::Private::fail(const QString &what)
{
    lastError =
        db ? QStringLiteral("%1: %2").arg(what, QString::fromUtf8(sqlite3_errmsg(db))) : what;
    return false;
}

bool DBQueueBroker::Private::exec(const char *sql)
{
    char *message = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        lastError = QStringLiteral("%1: %2").arg(QString::fromUtf8(sql),
                                                 message ? QString::fromUtf8(message)
                                                         : QString::fromUtf8(sqlite3_errstr(rc)));
        sqlite3_free(message);
        return false;
    }
    return true;
}

sqlite3_stmt *DBQueueBroker::Private::kept(Kept which, const QString &what)
{
    sqlite3_stmt *&statement = statements[static_cast<size_t>(which)];
    if (!statement &&
        sqlite3_prepare_v3(db, KeptSql[static_cast<size_t>(which)], -1, SQLITE_PREPARE_PERSISTENT,
                           &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        statement = nullptr;
        fail(what);
    }
    return statement;
}

bool DBQueueBroker::Private::prepareWith(SqliteStatement *statement, const char *sql,
                                         std::initializer_list<qint64> numbers)
{
    if (sqlite3_prepare_v2(db, sql, -1, statement->out(), nullptr) != SQLITE_OK)
        return fail(QStringLiteral("cannot prepare select"));
    int index = 0;
    for (const qint64 number : numbers) {
        if (sqlite3_bind_int64(statement->get(), ++index, number) != SQLITE_OK)
            return fail(QStringLiteral("cannot bind select"));
    }
    return true;
}

bool DBQueueBroker::Private::readRows(const QByteArray &sql, std::initializer_list<qint64> numbers,
                                      const std::function<bool(const QueuedMessage &)> &each)
{
    return readStatement(sql, numbers, [&each](sqlite3_stmt *select) {
        QueuedMessage entry;
        entry.id = sqlite3_column_int64(select, 0);
        entry.type = columnText(select, 1);
        // Parsed from SQLite's own UTF-8, which it keeps until the next step.
        const char *const json = static_cast<const char *>(sqlite3_column_blob(select, 2));
        entry.message =
            QJsonDocument::fromJson(QByteArray::fromRawData(json, sqlite3_column_bytes(select, 2)))
                .object();
        entry.extra = columnText(select, 3);
        entry.added = parseTime(columnText(select, 4));
        entry.attempts = sqlite3_column_int(select, 5);
        entry.lastAttempt = parseTime(columnText(select, 6));
        return each(entry);
    });
}

bool DBQueueBroker::Private::readStatement(const QByteArray &sql,
                                           std::initializer_list<qint64> numbers,
                                           const std::function<bool(sqlite3_stmt *)> &row)
{
    if (!ensureOpen())
        return false;
    if (!hasTable) {
        lastError.clear();
        return true;
    }
    SqliteStatement select;
    if (!prepareWith(&select, sql.constData(), numbers))
        return false;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(select.get())) == SQLITE_ROW) {
        if (!row(select.get())) {
            rc = SQLITE_DONE;
            break;
        }
    }
    if (rc != SQLITE_DONE)
        return fail(QStringLiteral("cannot read messages"));
    lastError.clear();
    return true;
}

qint64 DBQueueBroker::Private::readNumber(const char *sql, std::initializer_list<qint64> numbers)
{
    if (!ensureOpen())
        return 0;
    if (!hasTable) {
        lastError.clear();
        return 0;
    }
    SqliteStatement select;
    if (!prepareWith(&select, sql, numbers))
        return 0;
    if (sqlite3_step(select.get()) != SQLITE_ROW) {
        fail(QStringLiteral("cannot read messages"));
        return 0;
    }
    lastError.clear();
    return sqlite3_column_int64(select.get(), 0);
}

bool DBQueueBroker::Private::hasMoved()
{
    int moved = 0;
    return db && sqlite3_file_control(db, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK &&
           moved != 0;
}

bool DBQueueBroker::Private::insert(const QString &type, const QByteArray &json,
                                    const QString &extra, const QString &added, qint64 *id)
{
    sqlite3_stmt *const statement = kept(Kept::Insert, QStringLiteral("cannot prepare insert"));
    if (!statement)
        return false;
    const KeptStatementUse use(statement);
    if (!bindText(use.get(), 1, type) || !bindUtf8(use.get(), 2, json) ||
        !bindText(use.get(), 3, extra) || !bindText(use.get(), 4, added))
        return fail(QStringLiteral("cannot bind message"));
    // One statement in autocommit mode is one transaction: when step reports DONE the row is
    // committed and, with synchronous FULL, synced to the WAL file.
    if (sqlite3_step(use.get()) != SQLITE_DONE)
        return fail(QStringLiteral("cannot store message"));
    *id = sqlite3_last_insert_rowid(db);
    return true;
}

bool DBQueueBroker::Private::reopenAtPath()
{
    const qint64 lastId = readNumber("SELECT coalesce(max(seq), 0) FROM sqlite_sequence", {});
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    close();
    if (!ensureOpen())
        return false;
    SqliteStatement raise;
    if (sqlite3_prepare_v2(db,
                           "INSERT OR REPLACE INTO sqlite_sequence (rowid, name, seq) SELECT "
                           "(SELECT rowid FROM sqlite_sequence WHERE name = 'messages'), "
                           "'messages', max(?1, coalesce((SELECT seq FROM sqlite_sequence WHERE "
                           "name = 'messages'), 0))",
                           -1, raise.out(), nullptr) != SQLITE_OK ||
        sqlite3_bind_int64(raise.get(), 1, lastId) != SQLITE_OK ||
        sqlite3_step(raise.get()) != SQLITE_DONE)
        return fail(QStringLiteral("cannot carry the message ids over to %1").arg(path));
    return true;
}

void DBQueueBroker::Private::close()
{
    for (sqlite3_stmt *&statement : statements) {
        sqlite3_finalize(statement);
        statement = nullptr;
    }
    if (db) {
        sqlite3_close_v2(db);
        db = nullptr;
    }
}

bool DBQueueBroker::Private::probeTable(bool *exists)
{
    SqliteStatement probe;
    if (sqlite3_prepare_v2(db,
                           "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = "
                           "'messages'",
                           -1, probe.out(), nullptr) != SQLITE_OK ||
        sqlite3_step(probe.get()) != SQLITE_ROW)
        return fail(QStringLiteral("cannot read queue database %1").arg(path));
    *exists = sqlite3_column_int(probe.get(), 0) > 0;
    return true;
}

bool DBQueueBroker::Private::openConnection(const QByteArray &name, int flags)
{
    const int rc = sqlite3_open_v2(name.constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        fail(QStringLiteral("cannot open queue database %1").arg(path));
        if (!db)
            lastError = QStringLiteral("cannot open queue database %1: %2")
                            .arg(path, QString::fromUtf8(sqlite3_errstr(rc)));
        close();
        return false;
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, BusyTimeoutMs);
    return true;
}

bool DBQueueBroker::Private::openReadOnly()
{
    const QByteArray uri =
        "file:" + QUrl::toPercentEncoding(path, QByteArrayLiteral("/")) + "?mode=ro";
    const int flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_FULLMUTEX;
    for (const QByteArray &name : {uri, uri + "&immutable=1"}) {
        if (!openConnection(name, flags))
            return false;
        if (probeTable(&hasTable)) {
            lastError.clear();
            return true;
        }
        // A WAL database needs its shared-memory file even to be read, and in a read-only
        // directory that file cannot be made. Without a WAL file, every committed message is in
        // the database file itself, which may then be read as immutable; with one, reading the
        // file alone would miss messages, so the error stands.
        const int code = sqlite3_errcode(db);
        close();
        const bool noSharedMemory =
            (code & 0xff) == SQLITE_READONLY || (code & 0xff) == SQLITE_CANTOPEN;
        if (!noSharedMemory || QFileInfo::exists(path + QStringLiteral("-wal")))
            return false;
    }
    return false;
}

void DBQueueBroker::Private::createPrivately()
{
    // The messages hold buyers' codes and order ids: readable by the owner and the group that
    // shares the queue, never by everyone. SQLite would create the file 0644 (less the umask),
    // and gives its -wal and -shm files the mode of the database, so the file is made first.
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0660);
    if (fd < 0)
        return;
    // Group-writable whatever the umask, so that every till user of the group can queue.
    ::fchmod(fd, 0660);
    ::close(fd);
}

bool DBQueueBroker::Private::ensureOpen()
{
    if (db)
        return true;
    if (mode == OpenMode::ReadOnly)
        return openReadOnly();

    // A failed attempt is retried on the next call: the directory may appear or the disk may
    // come back, and the queue must not stay dead for the life of the process because of it.
    createPrivately();
    if (!openConnection(path.toUtf8(),
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX))
        return false;

    // WAL with synchronous FULL: a commit is on disk when it returns, and a process killed at any
    // point leaves either the whole transaction or none of it.
    SqliteStatement pragma;
    if (sqlite3_prepare_v2(db, "PRAGMA journal_mode=WAL", -1, pragma.out(), nullptr) != SQLITE_OK ||
        sqlite3_step(pragma.get()) != SQLITE_ROW) {
        fail(QStringLiteral("cannot switch %1 to WAL").arg(path));
        close();
        return false;
    }
    const QString journalMode = columnText(pragma.get(), 0);
    if (journalMode.compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
        lastError =
            QStringLiteral("cannot switch %1 to WAL (journal mode is %2)").arg(path, journalMode);
        close();
        return false;
    }

    if (!exec("PRAGMA synchronous=FULL") || !exec(Schema)) {
        close();
        return false;
    }
    lastError.clear();
    return true;
}

DBQueueBroker::DBQueueBroker() : DBQueueBroker(QString()) {}

DBQueueBroker::DBQueueBroker(const QString &databasePath, OpenMode mode) : d(new Private)
{
    d->mode = mode;
    QString path = databasePath;
    if (path.isEmpty() && Singleton<Config>::instance)
        path = Singleton<Config>::instance->getString(QLatin1String(PathSetting)).trimmed();
    if (path.isEmpty())
        path = QLatin1String(DefaultFileName);
    // Pinned now, so that a later change of working directory cannot move the queue.
    d->path = QFileInfo(path).absoluteFilePath();

    std::lock_guard<std::mutex> lock(d->mutex);
    d->ensureOpen();
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
    std::lock_guard<std::mutex> lock(d->mutex);
    if (!d->ensureOpen())
        return false;

    // The queue is the file its path names, the one the next replay reads: a file renamed
    // aside (an administrator clearing the queue) and a fresh one made at the path must not
    // swallow a message reported stored. Checked again once the row is in, since the file may
    // be moved meanwhile; the row is then stored at the path as well. The copy in the file left
    // stays: writing there again could reach the log the path's file now uses.
    const QByteArray json = QJsonDocument(message).toJson(QJsonDocument::Compact);
    const QString added = nowText();
    qint64 rowId = 0;
    for (int tries = 1;; ++tries) {
        if (d->hasMoved() && !d->reopenAtPath())
            return false;
        if (!d->insert(type, json, extra, added, &rowId))
            return false;
        if (!d->hasMoved())
            break;
        if (tries == 3)
            return d->fail(QStringLiteral("cannot store message: queue database %1 keeps "
                                          "being replaced")
                               .arg(d->path));
    }
    if (id)
        *id = rowId;
    d->lastError.clear();
    return true;
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
    return d->readRows(QByteArray(SelectMessages) + " ORDER BY id", {}, each);
}

bool DBQueueBroker::readStoredMessages(const std::function<bool(const StoredMessage &)> &each) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    const char *const sql = "SELECT id, type, message, added, attempts FROM messages ORDER BY id";
    return d->readStatement(sql, {}, [&each](sqlite3_stmt *select) {
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
    });
}

QList<QueuedMessage> DBQueueBroker::pendingMessages(qint64 afterId, qint64 lastId, int limit) const
{
    QList<QueuedMessage> page;
    if (limit <= 0)
        return page;
    std::lock_guard<std::mutex> lock(d->mutex);
    d->readRows(QByteArray(SelectMessages) + " WHERE id > ?1 AND id <= ?2 ORDER BY id LIMIT ?3",
                {afterId, lastId, limit}, [&page](const QueuedMessage &message) {
                    page.append(message);
                    return true;
                });
    return page;
}

qint64 DBQueueBroker::lastMessageId() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->readNumber("SELECT coalesce(max(id), 0) FROM messages", {});
}

int DBQueueBroker::pendingCount(qint64 afterId, qint64 lastId) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return int(d->readNumber("SELECT count(*) FROM messages WHERE id > ?1 AND id <= ?2",
                             {afterId, lastId}));
}

bool DBQueueBroker::recordAttempt(qint64 id)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    if (!d->ensureOpen())
        return false;

    sqlite3_stmt *const statement = d->kept(Kept::Update, QStringLiteral("cannot prepare update"));
    if (!statement)
        return false;
    const KeptStatementUse update(statement);
    if (!bindText(update.get(), 1, nowText()) ||
        sqlite3_bind_int64(update.get(), 2, id) != SQLITE_OK)
        return d->fail(QStringLiteral("cannot bind attempt"));
    if (sqlite3_step(update.get()) != SQLITE_DONE)
        return d->fail(QStringLiteral("cannot record attempt"));
    d->lastError.clear();
    return sqlite3_changes(d->db) == 1;
}

bool DBQueueBroker::removeMessage(qint64 id)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    if (!d->ensureOpen())
        return false;

    sqlite3_stmt *const statement = d->kept(Kept::Delete, QStringLiteral("cannot prepare delete"));
    if (!statement)
        return false;
    const KeptStatementUse remove(statement);
    if (sqlite3_bind_int64(remove.get(), 1, id) != SQLITE_OK)
        return d->fail(QStringLiteral("cannot bind id"));
    if (sqlite3_step(remove.get()) != SQLITE_DONE)
        return d->fail(QStringLiteral("cannot remove message"));
    d->lastError.clear();
    return sqlite3_changes(d->db) == 1;
}

QString DBQueueBroker::pathSetting()
{
    return QString::fromLatin1(PathSetting);
}

QString DBQueueBroker::databasePath() const
{
    return d->path;
}

DBQueueBroker::OpenMode DBQueueBroker::openMode() const
{
    return d->mode;
}

bool DBQueueBroker::isOpen() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->db != nullptr;
}

QString DBQueueBroker::errorString() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->lastError;
}
