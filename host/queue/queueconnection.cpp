#include "queueconnection.h"

#include "keptstatementuse.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QUrl>

#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace queuestore {

namespace {

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

QDateTime parseTime(const QString &text)
{
    if (text.isEmpty())
        return QDateTime();
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (time.isValid())
        time = time.toUTC();
    return time;
}

// Every column of a message, in the order readRows reads them.
const char *const SelectMessages =
    "SELECT id, type, message, extra, added, attempts, last_attempt FROM messages";

const char *const KeptSql[] = {
    "INSERT INTO messages (type, message, extra, added, attempts) VALUES (?1, ?2, ?3, ?4, 0)",
    "UPDATE messages SET attempts = attempts + 1, last_attempt = ?1 WHERE id = ?2",
    "DELETE FROM messages WHERE id = ?1",
};

} // namespace

QueueConnection::QueueConnection(const QString &path, bool readOnly)
    : m_path(path), m_readOnly(readOnly)
{}

QueueConnection::~QueueConnection()
{
    close();
}

ResultError QueueConnection::failure(const QString &what) const
{
    return ResultError(
        m_db ? QStringLiteral("%1: %2").arg(what, QString::fromUtf8(sqlite3_errmsg(m_db))) : what);
}

Result<> QueueConnection::exec(const char *sql)
{
    char *message = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        const QString error = QStringLiteral("%1: %2").arg(
            QString::fromUtf8(sql),
            message ? QString::fromUtf8(message) : QString::fromUtf8(sqlite3_errstr(rc)));
        sqlite3_free(message);
        return ResultError(error);
    }
    return ResultOk;
}

Result<sqlite3_stmt *> QueueConnection::kept(Kept which, const QString &what)
{
    sqlite3_stmt *&statement = m_statements[static_cast<size_t>(which)];
    if (!statement &&
        sqlite3_prepare_v3(m_db, KeptSql[static_cast<size_t>(which)], -1, SQLITE_PREPARE_PERSISTENT,
                           &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        statement = nullptr;
        return failure(what);
    }
    return statement;
}

Result<> QueueConnection::prepareWith(SqliteStatement *statement, const char *sql,
                                      std::initializer_list<qint64> numbers)
{
    if (sqlite3_prepare_v2(m_db, sql, -1, statement->out(), nullptr) != SQLITE_OK)
        return failure(QStringLiteral("cannot prepare select"));
    int index = 0;
    for (const qint64 number : numbers) {
        if (sqlite3_bind_int64(statement->get(), ++index, number) != SQLITE_OK)
            return failure(QStringLiteral("cannot bind select"));
    }
    return ResultOk;
}

Result<> QueueConnection::readRows(const char *where, std::initializer_list<qint64> numbers,
                                   const std::function<bool(const QueuedMessage &)> &each)
{
    return readStatement(
        QByteArray(SelectMessages) + ' ' + where, numbers, [&each](sqlite3_stmt *select) {
            QueuedMessage entry;
            entry.id = sqlite3_column_int64(select, 0);
            entry.type = columnText(select, 1);
            // Parsed from SQLite's own UTF-8, which it keeps until the next step.
            const char *const json = static_cast<const char *>(sqlite3_column_blob(select, 2));
            entry.message = QJsonDocument::fromJson(
                                QByteArray::fromRawData(json, sqlite3_column_bytes(select, 2)))
                                .object();
            entry.extra = columnText(select, 3);
            entry.added = parseTime(columnText(select, 4));
            entry.attempts = sqlite3_column_int(select, 5);
            entry.lastAttempt = parseTime(columnText(select, 6));
            return each(entry);
        });
}

Result<> QueueConnection::readStatement(const QByteArray &sql,
                                        std::initializer_list<qint64> numbers,
                                        const std::function<bool(sqlite3_stmt *)> &row)
{
    if (const Result<> open = ensureOpen(); !open)
        return open;
    if (!m_hasTable)
        return ResultOk;
    SqliteStatement select;
    if (const Result<> prepared = prepareWith(&select, sql.constData(), numbers); !prepared)
        return prepared;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(select.get())) == SQLITE_ROW) {
        if (!row(select.get())) {
            rc = SQLITE_DONE;
            break;
        }
    }
    if (rc != SQLITE_DONE)
        return failure(QStringLiteral("cannot read messages"));
    return ResultOk;
}

Result<qint64> QueueConnection::readNumber(const char *sql, std::initializer_list<qint64> numbers)
{
    if (const Result<> open = ensureOpen(); !open)
        return ResultError(open.error());
    if (!m_hasTable)
        return qint64(0);
    SqliteStatement select;
    if (const Result<> prepared = prepareWith(&select, sql, numbers); !prepared)
        return ResultError(prepared.error());
    if (sqlite3_step(select.get()) != SQLITE_ROW)
        return failure(QStringLiteral("cannot read messages"));
    return qint64(sqlite3_column_int64(select.get(), 0));
}

bool QueueConnection::hasMoved()
{
    int moved = 0;
    return m_db &&
           sqlite3_file_control(m_db, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK &&
           moved != 0;
}

Result<qint64> QueueConnection::insert(const QString &type, const QByteArray &json,
                                       const QString &extra, const QString &added)
{
    const Result<sqlite3_stmt *> statement =
        kept(Kept::Insert, QStringLiteral("cannot prepare insert"));
    if (!statement)
        return ResultError(statement.error());
    const KeptStatementUse use(statement.value());
    if (!bindText(use.get(), 1, type) || !bindUtf8(use.get(), 2, json) ||
        !bindText(use.get(), 3, extra) || !bindText(use.get(), 4, added))
        return failure(QStringLiteral("cannot bind message"));
    // One statement in autocommit mode is one transaction: when step reports DONE the row is
    // committed and, with synchronous FULL, synced to the WAL file.
    if (sqlite3_step(use.get()) != SQLITE_DONE)
        return failure(QStringLiteral("cannot store message"));
    return qint64(sqlite3_last_insert_rowid(m_db));
}

Result<> QueueConnection::reopenAtPath()
{
    // A sequence that cannot be read carries no ids over; the message is stored all the same.
    const Result<qint64> last = readNumber("SELECT coalesce(max(seq), 0) FROM sqlite_sequence", {});
    const qint64 lastId = last.ok() ? last.value() : 0;
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    close();
    if (const Result<> open = ensureOpen(); !open)
        return open;
    SqliteStatement raise;
    if (sqlite3_prepare_v2(m_db,
                           "INSERT OR REPLACE INTO sqlite_sequence (rowid, name, seq) SELECT "
                           "(SELECT rowid FROM sqlite_sequence WHERE name = 'messages'), "
                           "'messages', max(?1, coalesce((SELECT seq FROM sqlite_sequence WHERE "
                           "name = 'messages'), 0))",
                           -1, raise.out(), nullptr) != SQLITE_OK ||
        sqlite3_bind_int64(raise.get(), 1, lastId) != SQLITE_OK ||
        sqlite3_step(raise.get()) != SQLITE_DONE)
        return failure(QStringLiteral("cannot carry the message ids over to %1").arg(m_path));
    return ResultOk;
}

void QueueConnection::close()
{
    for (sqlite3_stmt *&statement : m_statements) {
        sqlite3_finalize(statement);
        statement = nullptr;
    }
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

Result<bool> QueueConnection::probeTable()
{
    SqliteStatement probe;
    if (sqlite3_prepare_v2(m_db,
                           "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = "
                           "'messages'",
                           -1, probe.out(), nullptr) != SQLITE_OK ||
        sqlite3_step(probe.get()) != SQLITE_ROW)
        return failure(QStringLiteral("cannot read queue database %1").arg(m_path));
    return sqlite3_column_int(probe.get(), 0) > 0;
}

Result<> QueueConnection::openConnection(const QByteArray &name, int flags)
{
    const int rc = sqlite3_open_v2(name.constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const ResultError failed =
            m_db ? failure(QStringLiteral("cannot open queue database %1").arg(m_path))
                 : ResultError(QStringLiteral("cannot open queue database %1: %2")
                                   .arg(m_path, QString::fromUtf8(sqlite3_errstr(rc))));
        close();
        return failed;
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, BusyTimeoutMs);
    return ResultOk;
}

Result<> QueueConnection::openReadOnly()
{
    const QByteArray uri =
        "file:" + QUrl::toPercentEncoding(m_path, QByteArrayLiteral("/")) + "?mode=ro";
    const int flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_FULLMUTEX;
    QString lastError;
    for (const QByteArray &name : {uri, uri + "&immutable=1"}) {
        if (const Result<> opened = openConnection(name, flags); !opened)
            return opened;
        const Result<bool> table = probeTable();
        if (table) {
            m_hasTable = table.value();
            return ResultOk;
        }
        // A WAL database needs its shared-memory file even to be read, and in a read-only
        // directory that file cannot be made. Without a WAL file, every committed message is in
        // the database file itself, which may then be read as immutable; with one, reading the
        // file alone would miss messages, so the error stands.
        const int code = sqlite3_errcode(m_db);
        close();
        const bool noSharedMemory =
            (code & 0xff) == SQLITE_READONLY || (code & 0xff) == SQLITE_CANTOPEN;
        if (!noSharedMemory || QFileInfo::exists(m_path + QStringLiteral("-wal")))
            return ResultError(table.error());
        lastError = table.error();
    }
    return ResultError(lastError);
}

void QueueConnection::createPrivately()
{
    // The messages hold buyers' codes and order ids: readable by the owner and the group that
    // shares the queue, never by everyone. SQLite would create the file 0644 (less the umask),
    // and gives its -wal and -shm files the mode of the database, so the file is made first.
    const QByteArray name = QFile::encodeName(m_path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0660);
    if (fd < 0)
        return;
    // Group-writable whatever the umask, so that every till user of the group can queue.
    ::fchmod(fd, 0660);
    ::close(fd);
}

Result<> QueueConnection::ensureOpen()
{
    if (m_db)
        return ResultOk;
    if (m_readOnly)
        return openReadOnly();

    // A failed attempt is retried on the next call: the directory may appear or the disk may
    // come back, and the queue must not stay dead for the life of the process because of it.
    createPrivately();
    if (const Result<> opened = openConnection(
            m_path.toUtf8(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX);
        !opened)
        return opened;

    // WAL with synchronous FULL: a commit is on disk when it returns, and a process killed at any
    // point leaves either the whole transaction or none of it.
    SqliteStatement pragma;
    if (sqlite3_prepare_v2(m_db, "PRAGMA journal_mode=WAL", -1, pragma.out(), nullptr) !=
            SQLITE_OK ||
        sqlite3_step(pragma.get()) != SQLITE_ROW) {
        const ResultError failed = failure(QStringLiteral("cannot switch %1 to WAL").arg(m_path));
        close();
        return failed;
    }
    const QString journalMode = columnText(pragma.get(), 0);
    if (journalMode.compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
        close();
        return ResultError(QStringLiteral("cannot switch %1 to WAL (journal mode is %2)")
                               .arg(m_path, journalMode));
    }

    for (const char *sql : {"PRAGMA synchronous=FULL", Schema}) {
        if (const Result<> done = exec(sql); !done) {
            close();
            return done;
        }
    }
    return ResultOk;
}

Result<bool> QueueConnection::recordAttempt(qint64 id, const QString &at)
{
    if (const Result<> open = ensureOpen(); !open)
        return ResultError(open.error());
    const Result<sqlite3_stmt *> statement =
        kept(Kept::Update, QStringLiteral("cannot prepare update"));
    if (!statement)
        return ResultError(statement.error());
    const KeptStatementUse update(statement.value());
    if (!bindText(update.get(), 1, at) || sqlite3_bind_int64(update.get(), 2, id) != SQLITE_OK)
        return failure(QStringLiteral("cannot bind attempt"));
    if (sqlite3_step(update.get()) != SQLITE_DONE)
        return failure(QStringLiteral("cannot record attempt"));
    return sqlite3_changes(m_db) == 1;
}

Result<bool> QueueConnection::remove(qint64 id)
{
    if (const Result<> open = ensureOpen(); !open)
        return ResultError(open.error());
    const Result<sqlite3_stmt *> statement =
        kept(Kept::Delete, QStringLiteral("cannot prepare delete"));
    if (!statement)
        return ResultError(statement.error());
    const KeptStatementUse remove(statement.value());
    if (sqlite3_bind_int64(remove.get(), 1, id) != SQLITE_OK)
        return failure(QStringLiteral("cannot bind id"));
    if (sqlite3_step(remove.get()) != SQLITE_DONE)
        return failure(QStringLiteral("cannot remove message"));
    return sqlite3_changes(m_db) == 1;
}

} // namespace queuestore
