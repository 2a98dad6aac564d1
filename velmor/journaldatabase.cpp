#include "journaldatabase.h"

#include "journalheld.h"

#include "statefile.h"
#include <log4qt/logger.h>
#include <log4qt/logmanager.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace velmor {

namespace {

// The same as the queue's: long enough to ride out another process's commit on a slow disk.
const int BusyTimeoutMs = 5000;
const int SchemaVersion = 1;

const char *const Schema =
    "CREATE TABLE entries ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " kind TEXT NOT NULL,"
    " order_id TEXT NOT NULL,"
    " refund_id TEXT NOT NULL DEFAULT '',"
    " amount INTEGER NOT NULL,"
    " owner TEXT NOT NULL,"
    " state TEXT NOT NULL,"
    " outcome TEXT NOT NULL DEFAULT '',"
    " status INTEGER NOT NULL DEFAULT 0,"
    " rrn TEXT NOT NULL DEFAULT '',"
    " recorded TEXT NOT NULL,"
    " answered TEXT,"
    " resolved TEXT,"
    " refund_body TEXT NOT NULL DEFAULT '',"
    " queue_message TEXT NOT NULL DEFAULT '');"
    // A refund's earlier entries are found by order; listings and pruning go by time.
    "CREATE INDEX entries_order ON entries (order_id);"
    "CREATE INDEX entries_recorded ON entries (recorded);"
    "PRAGMA user_version = 1;";

// What a resolution and a monitor look for: the few entries without a known outcome. Made with
// the schema, and in place of an earlier release's as a file is opened for writing.
const char *const UnsettledIndex =
    "CREATE INDEX entries_unsettled ON entries (state) WHERE " VELMOR_UNSETTLED;

// The note an answer leaves (what the operation was, the slip it printed), added to files of the
// first schema as they are opened for writing. The version stays 1: a till of the previous
// release that shares the file names its columns and never reads or writes this one, and would
// set aside a file of another version, open entries and all.
const char *const AddNoteColumn = "ALTER TABLE entries ADD COLUMN note TEXT NOT NULL DEFAULT ''";

Log4Qt::Logger *logger()
{
    return Log4Qt::LogManager::logger(QStringLiteral("velmor"), QString());
}

} // namespace

JournalDatabase::~JournalDatabase()
{
    close();
}

bool JournalDatabase::opened(int rc)
{
    if (rc != SQLITE_OK) {
        m_error = QStringLiteral("cannot open journal %1: %2")
                      .arg(m_path, m_db ? QString::fromUtf8(sqlite3_errmsg(m_db))
                                        : QString::fromUtf8(sqlite3_errstr(rc)));
        close();
        return false;
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, BusyTimeoutMs);
    return true;
}

bool JournalDatabase::fail(const QString &what)
{
    m_error =
        m_db ? QStringLiteral("%1: %2").arg(what, QString::fromUtf8(sqlite3_errmsg(m_db))) : what;
    return false;
}

bool JournalDatabase::exec(const char *sql)
{
    char *message = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &message);
    if (rc == SQLITE_OK)
        return true;
    m_error = QStringLiteral("journal %1: %2")
                  .arg(m_path, message ? QString::fromUtf8(message)
                                       : QString::fromUtf8(sqlite3_errstr(rc)));
    sqlite3_free(message);
    return false;
}

void JournalDatabase::close()
{
    for (sqlite3_stmt *statement : qAsConst(m_kept))
        sqlite3_finalize(statement);
    m_kept.clear();
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

bool JournalDatabase::inspect(Shape *shape)
{
    // A file that is no database, or whose pages are broken, says so here; a lock or an I/O
    // failure is no damage and must not set a sound journal aside.
    JournalStatement check(m_db, "PRAGMA quick_check");
    const int rc = check ? check.step() : sqlite3_errcode(m_db);
    const int primary = rc & 0xff;
    if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT) {
        *shape = Shape::Damaged;
        m_error = QStringLiteral("%1 is no database: %2")
                      .arg(m_path, QString::fromUtf8(sqlite3_errstr(rc)));
        return true;
    }
    if (rc != SQLITE_ROW)
        return fail(QStringLiteral("cannot read journal %1").arg(m_path));
    const QString result = check.text(0);
    if (result != QLatin1String("ok")) {
        *shape = Shape::Damaged;
        m_error = QStringLiteral("%1 failed its check: %2").arg(m_path, result);
        return true;
    }

    JournalStatement version(m_db, "SELECT (SELECT user_version FROM pragma_user_version),"
                                   " (SELECT count(*) FROM sqlite_master),"
                                   " (SELECT count(*) FROM sqlite_master WHERE type = 'table' AND"
                                   "  name = 'entries')");
    if (!version || version.step() != SQLITE_ROW)
        return fail(QStringLiteral("cannot read journal %1").arg(m_path));
    const qint64 userVersion = version.number(0);
    const qint64 objects = version.number(1);
    const bool hasEntries = version.number(2) > 0;
    if (userVersion == 0 && objects == 0)
        *shape = Shape::Empty;
    else if (userVersion == SchemaVersion && hasEntries)
        *shape = Shape::Journal;
    else {
        *shape = Shape::Damaged;
        m_error = QStringLiteral("%1 holds no journal of schema %2 (version %3, %4 objects)")
                      .arg(m_path)
                      .arg(SchemaVersion)
                      .arg(userVersion)
                      .arg(objects);
    }
    return true;
}

bool JournalDatabase::openReadWrite(const QString &path, bool *damaged)
{
    close();
    m_path = path;
    m_readOnly = false;
    *damaged = false;
    // Made first, so that SQLite does not create it 0644; its -wal and -shm files take the
    // database's mode.
    QString createError;
    if (!statefile::createShared(m_path, &createError)) {
        m_error = QStringLiteral("journal %1: %2").arg(m_path, createError);
        return false;
    }
    if (!opened(sqlite3_open_v2(m_path.toUtf8().constData(), &m_db,
                                SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr)))
        return false;
    // SQLite falls back to reading a file it may not write; a journal that cannot take the
    // next sale's entry is no journal.
    if (sqlite3_db_readonly(m_db, "main") == 1) {
        m_error = QStringLiteral("journal %1 cannot be written (the file is read-only for this "
                                 "user)")
                      .arg(m_path);
        close();
        return false;
    }
    Shape shape = Shape::Empty;
    if (!inspect(&shape)) {
        close();
        return false;
    }
    if (shape == Shape::Damaged) {
        *damaged = true;
        close();
        return false;
    }

    // WAL with synchronous FULL: a commit is on disk when it returns, and a process killed at
    // any point leaves the whole transaction or none of it.
    bool inWal = false;
    {
        JournalStatement walMode(m_db, "PRAGMA journal_mode=WAL");
        inWal = walMode && walMode.step() == SQLITE_ROW &&
                walMode.text(0).compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0;
    }
    if (!inWal) {
        fail(QStringLiteral("cannot switch journal %1 to WAL").arg(m_path));
        close();
        return false;
    }
    if (!exec("PRAGMA synchronous=FULL")) {
        close();
        return false;
    }
    if (shape == Shape::Empty) {
        // One transaction, so that a process killed here leaves an empty database, which the
        // next open makes a journal of, and never half a schema, which it would set aside.
        // The check is made again inside it: another process may have made it meanwhile.
        if (!exec("BEGIN IMMEDIATE")) {
            close();
            return false;
        }
        bool stillEmpty = false;
        {
            JournalStatement again(m_db, "SELECT count(*) FROM sqlite_master");
            stillEmpty = again && again.step() == SQLITE_ROW && again.number(0) == 0;
        }
        if (stillEmpty && !(exec(Schema) && exec(UnsettledIndex))) {
            exec("ROLLBACK");
            close();
            return false;
        }
        if (!exec("COMMIT")) {
            exec("ROLLBACK");
            close();
            return false;
        }
    }
    if (!exec(JournalHeld::Schema)) {
        close();
        return false;
    }
    if (!findNoteColumn(true) || !updateUnsettledIndex()) {
        close();
        return false;
    }
    return true;
}

bool JournalDatabase::changeOnce(const std::function<bool(bool *)> &isDone,
                                 const std::function<bool()> &change)
{
    bool done = false;
    if (!isDone(&done))
        return false;
    if (done)
        return true;
    // Under the write lock, asked again: another process may be making it at the same moment.
    if (!exec("BEGIN IMMEDIATE"))
        return false;
    if (!isDone(&done) || (!done && !change()) || !exec("COMMIT")) {
        const QString failure = m_error;
        exec("ROLLBACK");
        m_error = failure;
        return false;
    }
    return true;
}

bool JournalDatabase::updateUnsettledIndex()
{
    const auto current = [this](bool *sound) {
        JournalStatement index(m_db, "SELECT sql FROM sqlite_master WHERE type = 'index' AND"
                                     " name = 'entries_unsettled'");
        const int rc = index ? index.step() : SQLITE_ERROR;
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            return fail(QStringLiteral("cannot read journal %1").arg(m_path));
        *sound = rc == SQLITE_ROW && index.text(0) == QLatin1String(UnsettledIndex);
        return true;
    };
    return changeOnce(current, [this] {
        return exec("DROP INDEX IF EXISTS entries_unsettled") && exec(UnsettledIndex);
    });
}

bool JournalDatabase::findNoteColumn(bool add)
{
    const auto present = [this](bool *found) {
        JournalStatement column(m_db, "SELECT count(*) FROM pragma_table_info('entries') WHERE"
                                      " name = 'note'");
        if (!column || column.step() != SQLITE_ROW)
            return fail(QStringLiteral("cannot read journal %1").arg(m_path));
        *found = column.number(0) > 0;
        return true;
    };
    if (!add)
        return present(&m_hasNote);
    m_hasNote = changeOnce(present, [this] { return exec(AddNoteColumn); });
    return m_hasNote;
}

bool JournalDatabase::setAside()
{
    const QString stamp =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    QString aside = QStringLiteral("%1.damaged-%2").arg(m_path, stamp);
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = QStringLiteral("%1.damaged-%2-%3").arg(m_path, stamp).arg(n);
    if (::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(aside).constData()) !=
        0) {
        m_error = QStringLiteral("journal %1 is damaged and cannot be set aside: %2")
                      .arg(m_path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    // The write-ahead log belongs to the file it was written for, and goes with it; the shared
    // memory index is rebuilt from it.
    const QString wal = m_path + QStringLiteral("-wal");
    if (QFileInfo::exists(wal))
        ::rename(QFile::encodeName(wal).constData(),
                 QFile::encodeName(aside + QStringLiteral("-wal")).constData());
    QFile::remove(m_path + QStringLiteral("-shm"));
    logger()->error(QStringLiteral("Journal %1 is damaged (%2); it was set aside as %3 and a new "
                                   "journal started")
                        .arg(m_path, m_error, aside));
    m_setAsidePath = aside;
    return true;
}

bool JournalDatabase::openReadOnly(const QString &path)
{
    close();
    m_path = path;
    m_readOnly = true;
    if (!QFileInfo::exists(path)) {
        m_error = QStringLiteral("no journal at %1").arg(m_path);
        return false;
    }
    const QByteArray uri =
        "file:" + QUrl::toPercentEncoding(m_path, QByteArrayLiteral("/")) + "?mode=ro";
    if (!opened(sqlite3_open_v2(uri.constData(), &m_db,
                                SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_FULLMUTEX,
                                nullptr)))
        return false;
    Shape shape = Shape::Empty;
    if (!inspect(&shape)) {
        close();
        return false;
    }
    if (shape != Shape::Journal) {
        if (shape == Shape::Empty)
            m_error = QStringLiteral("journal %1 holds no journal yet").arg(m_path);
        m_error = QStringLiteral("journal %1 is damaged: %2").arg(m_path, m_error);
        close();
        return false;
    }
    if (!findNoteColumn(false)) {
        close();
        return false;
    }
    return true;
}

bool JournalDatabase::ensureOpen()
{
    if (m_db)
        return true;
    m_error = QStringLiteral("journal is not open");
    return false;
}

int JournalDatabase::change(const char *sql, const std::function<bool(JournalStatement &)> &bind)
{
    if (!ensureOpen())
        return -1;
    if (m_readOnly) {
        m_error = QStringLiteral("journal %1 is open read-only").arg(m_path);
        return -1;
    }
    const QByteArray key = QByteArray::fromRawData(sql, int(std::strlen(sql)));
    sqlite3_stmt *kept = m_kept.value(key);
    if (!kept) {
        if (sqlite3_prepare_v2(m_db, sql, -1, &kept, nullptr) != SQLITE_OK || !kept) {
            fail(QStringLiteral("cannot prepare a journal change"));
            return -1;
        }
        m_kept.insert(QByteArray(sql), kept);
    }
    JournalStatement statement(kept);
    if (!bind(statement)) {
        fail(QStringLiteral("cannot bind a journal change"));
        return -1;
    }
    // One statement in autocommit mode is one transaction: when step reports DONE the change
    // is committed and, with synchronous FULL, synced to the WAL file.
    if (statement.step() != SQLITE_DONE) {
        fail(QStringLiteral("cannot write journal %1").arg(m_path));
        return -1;
    }
    m_error.clear();
    return sqlite3_changes(m_db);
}

} // namespace velmor
