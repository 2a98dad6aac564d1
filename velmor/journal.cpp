#include "journal.h"

#include "journalowner.h"
#include "statefile.h"
#include <config.h>
#include <log4qt/logger.h>
#include <log4qt/logmanager.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>

#include <dlfcn.h>
#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>

namespace velmor {

const QString Journal::PathKey = QStringLiteral("Velmor:journal");
const QString Journal::RetentionKey = QStringLiteral("Velmor:journalRetentionDays");
const QString Journal::FileName = QStringLiteral("journal.sqlite");

namespace {

#ifndef VELMOR_STATE_DIR
#define VELMOR_STATE_DIR "/var/lib/velmor"
#endif

// The same as the queue's: long enough to ride out another process's commit on a slow disk.
const int BusyTimeoutMs = 5000;
const int SchemaVersion = 1;

// The entries whose outcome is not known, which the partial index below holds: a query uses
// that index only when it states its condition as it is written here.
#define VELMOR_UNSETTLED "state IN ('open', 'unknown', 'reversal-queued')"

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
    // What a resolution and a monitor look for: the few entries without a known outcome.
    "CREATE INDEX entries_unsettled ON entries (state) WHERE " VELMOR_UNSETTLED ";"
    "CREATE INDEX entries_order ON entries (order_id);"
    "CREATE INDEX entries_recorded ON entries (recorded);"
    "PRAGMA user_version = 1;";

// Every column of an entry, in the order readEntry reads them; selectEntries() adds the note.
const char *const EntryColumns =
    "SELECT id, kind, order_id, refund_id, amount, state, outcome, status, rrn, recorded,"
    " answered, resolved, queue_message, refund_body";

// The note an answer leaves (what the operation was, the slip it printed), added to files of
// the first schema as they are opened for writing. The version stays 1: a till of the previous
// release that shares the file names its columns and never reads or writes this one, and would
// set aside a file of another version, open entries and all.
const char *const NoteColumn = "note";
const char *const AddNoteColumn = "ALTER TABLE entries ADD COLUMN note TEXT NOT NULL DEFAULT ''";

// A statement finalized on every path out of its scope, so that an early return never leaves
// it holding a read lock on the file.
class Statement
{
public:
    Statement(sqlite3 *db, const char *sql)
    {
        sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr);
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    explicit operator bool() const { return m_statement != nullptr; }
    sqlite3_stmt *get() const { return m_statement; }

    bool bind(int index, const QString &text)
    {
        const QByteArray utf8 = text.toUtf8();
        return sqlite3_bind_text(m_statement, index, utf8.constData(), utf8.size(),
                                 SQLITE_TRANSIENT) == SQLITE_OK;
    }
    bool bind(int index, qint64 number)
    {
        return sqlite3_bind_int64(m_statement, index, number) == SQLITE_OK;
    }
    int step() { return sqlite3_step(m_statement); }
    QString text(int column) const
    {
        const auto *value = static_cast<const char *>(sqlite3_column_blob(m_statement, column));
        return value ? QString::fromUtf8(value, sqlite3_column_bytes(m_statement, column))
                     : QString();
    }
    qint64 number(int column) const { return sqlite3_column_int64(m_statement, column); }

private:
    sqlite3_stmt *m_statement = nullptr;
};

QString timeText(const QDateTime &time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QString nowText()
{
    return timeText(QDateTime::currentDateTimeUtc());
}

// The digits of `text` from `from` to `to` as a number; -1 when one is no digit.
int digitsAt(const QString &text, int from, int to)
{
    int value = 0;
    for (int i = from; i < to; ++i) {
        const QChar c = text.at(i);
        if (!c.isDigit())
            return -1;
        value = value * 10 + c.digitValue();
    }
    return value;
}

QDateTime parseTime(const QString &text)
{
    if (text.isEmpty())
        return QDateTime();
    // The form the journal writes, "2026-12-09T10:00:00.000Z", read directly: Qt's parser
    // costs more than the rest of a resolution that reads a thousand entries.
    if (text.size() == 24 && text.at(4) == QLatin1Char('-') && text.at(7) == QLatin1Char('-') &&
        text.at(10) == QLatin1Char('T') && text.at(13) == QLatin1Char(':') &&
        text.at(16) == QLatin1Char(':') && text.at(19) == QLatin1Char('.') &&
        text.at(23) == QLatin1Char('Z')) {
        const QDate date(digitsAt(text, 0, 4), digitsAt(text, 5, 7), digitsAt(text, 8, 10));
        const QTime time(digitsAt(text, 11, 13), digitsAt(text, 14, 16), digitsAt(text, 17, 19),
                         digitsAt(text, 20, 23));
        if (date.isValid() && time.isValid())
            return QDateTime(date, time, Qt::UTC);
    }
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (time.isValid())
        time = time.toUTC();
    return time;
}

QString jsonText(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QJsonObject parseObject(const QString &text)
{
    return text.isEmpty() ? QJsonObject() : QJsonDocument::fromJson(text.toUtf8()).object();
}

// Whether the code runs from a file in the build tree (the till or the plug-in built there)
// rather than from an installed one.
bool runsFromBuildTree()
{
#ifdef VELMOR_BUILD_TREE
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&runsFromBuildTree), &info) == 0 || !info.dli_fname)
        return false;
    const QString module = QFileInfo(QFile::decodeName(info.dli_fname)).absoluteFilePath();
    return module.startsWith(QStringLiteral(VELMOR_BUILD_TREE "/"));
#else
    return false;
#endif
}

Log4Qt::Logger *logger()
{
    return Log4Qt::LogManager::logger(QStringLiteral("velmor"), QString());
}

} // namespace

class Journal::Private
{
public:
    // Opens the file and sets the connection up; false with `error` set. `damaged` is set when
    // the file is there but no journal of ours.
    bool connect(bool *damaged);
    bool openReadOnly();
    // Whether the open file is a sound journal, an empty database to make one of, or damaged;
    // false when it could not be told (an I/O failure, a lock), with `error` set.
    enum class Shape { Journal, Empty, Damaged };
    bool inspect(Shape *shape);
    bool setAside();
    void closeDatabase();
    bool fail(const QString &what);
    bool exec(const char *sql);
    bool ensureOpen();
    // Runs an update with `bind` filling its parameters; the number of rows changed, -1 on
    // failure.
    int change(const char *sql, const std::function<bool(Statement &)> &bind);
    bool readEntries(const QByteArray &sql, const std::function<bool(Statement &)> &bind,
                     QList<Entry> *entries);
    qint64 record(Kind kind, const QString &orderId, const QString &refundId, qint64 amount,
                  const QJsonObject &refundBody, const QJsonObject &queueMessage);
    // Whether the entries carry the note column; adds it when `add` (a writable file).
    bool findNoteColumn(bool add);
    // EntryColumns and the note (empty on a read-only file of the first schema) FROM entries.
    QByteArray selectEntries() const;

    QString ownersFile() const { return path + QStringLiteral(".owners"); }

    QString path;
    OpenMode mode = OpenMode::ReadWrite;
    sqlite3 *db = nullptr;
    JournalOwner owner;
    QString error;
    QString setAsidePath;
    bool hasNote = false;
};

bool Journal::Private::fail(const QString &what)
{
    error = db ? QStringLiteral("%1: %2").arg(what, QString::fromUtf8(sqlite3_errmsg(db))) : what;
    return false;
}

bool Journal::Private::exec(const char *sql)
{
    char *message = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    if (rc == SQLITE_OK)
        return true;
    error = QStringLiteral("journal %1: %2")
                .arg(path,
                     message ? QString::fromUtf8(message) : QString::fromUtf8(sqlite3_errstr(rc)));
    sqlite3_free(message);
    return false;
}

void Journal::Private::closeDatabase()
{
    if (db) {
        sqlite3_close_v2(db);
        db = nullptr;
    }
}

bool Journal::Private::inspect(Shape *shape)
{
    // A file that is no database, or whose pages are broken, says so here; a lock or an I/O
    // failure is no damage and must not set a sound journal aside.
    Statement check(db, "PRAGMA quick_check");
    const int rc = check ? check.step() : sqlite3_errcode(db);
    const int primary = rc & 0xff;
    if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT) {
        *shape = Shape::Damaged;
        error = QStringLiteral("%1 is no database: %2")
                    .arg(path, QString::fromUtf8(sqlite3_errstr(rc)));
        return true;
    }
    if (rc != SQLITE_ROW)
        return fail(QStringLiteral("cannot read journal %1").arg(path));
    const QString result = check.text(0);
    if (result != QLatin1String("ok")) {
        *shape = Shape::Damaged;
        error = QStringLiteral("%1 failed its check: %2").arg(path, result);
        return true;
    }

    Statement version(db, "SELECT (SELECT user_version FROM pragma_user_version),"
                          " (SELECT count(*) FROM sqlite_master),"
                          " (SELECT count(*) FROM sqlite_master WHERE type = 'table' AND"
                          "  name = 'entries')");
    if (!version || version.step() != SQLITE_ROW)
        return fail(QStringLiteral("cannot read journal %1").arg(path));
    const qint64 userVersion = version.number(0);
    const qint64 objects = version.number(1);
    const bool hasEntries = version.number(2) > 0;
    if (userVersion == 0 && objects == 0)
        *shape = Shape::Empty;
    else if (userVersion == SchemaVersion && hasEntries)
        *shape = Shape::Journal;
    else {
        *shape = Shape::Damaged;
        error = QStringLiteral("%1 holds no journal of schema %2 (version %3, %4 objects)")
                    .arg(path)
                    .arg(SchemaVersion)
                    .arg(userVersion)
                    .arg(objects);
    }
    return true;
}

bool Journal::Private::connect(bool *damaged)
{
    *damaged = false;
    // Made first, so that SQLite does not create it 0644; its -wal and -shm files take the
    // database's mode.
    QString createError;
    if (!statefile::createShared(path, &createError)) {
        error = QStringLiteral("journal %1: %2").arg(path, createError);
        return false;
    }
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        error = QStringLiteral("cannot open journal %1: %2")
                    .arg(path, db ? QString::fromUtf8(sqlite3_errmsg(db))
                                  : QString::fromUtf8(sqlite3_errstr(rc)));
        closeDatabase();
        return false;
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, BusyTimeoutMs);
    // SQLite falls back to reading a file it may not write; a journal that cannot take the
    // next sale's entry is no journal.
    if (sqlite3_db_readonly(db, "main") == 1) {
        error = QStringLiteral("journal %1 cannot be written (the file is read-only for this "
                               "user)")
                    .arg(path);
        closeDatabase();
        return false;
    }
    Shape shape = Shape::Empty;
    if (!inspect(&shape)) {
        closeDatabase();
        return false;
    }
    if (shape == Shape::Damaged) {
        *damaged = true;
        closeDatabase();
        return false;
    }

    // WAL with synchronous FULL: a commit is on disk when it returns, and a process killed at
    // any point leaves the whole transaction or none of it.
    bool inWal = false;
    {
        Statement walMode(db, "PRAGMA journal_mode=WAL");
        inWal = walMode && walMode.step() == SQLITE_ROW &&
                walMode.text(0).compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0;
    }
    if (!inWal) {
        fail(QStringLiteral("cannot switch journal %1 to WAL").arg(path));
        closeDatabase();
        return false;
    }
    if (!exec("PRAGMA synchronous=FULL")) {
        closeDatabase();
        return false;
    }
    if (shape == Shape::Empty) {
        // One transaction, so that a process killed here leaves an empty database, which the
        // next open makes a journal of, and never half a schema, which it would set aside.
        // The check is made again inside it: another process may have made it meanwhile.
        if (!exec("BEGIN IMMEDIATE")) {
            closeDatabase();
            return false;
        }
        bool stillEmpty = false;
        {
            Statement again(db, "SELECT count(*) FROM sqlite_master");
            stillEmpty = again && again.step() == SQLITE_ROW && again.number(0) == 0;
        }
        if (stillEmpty && !exec(Schema)) {
            exec("ROLLBACK");
            closeDatabase();
            return false;
        }
        if (!exec("COMMIT")) {
            exec("ROLLBACK");
            closeDatabase();
            return false;
        }
    }
    return true;
}

bool Journal::Private::setAside()
{
    const QString stamp =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    QString aside = QStringLiteral("%1.damaged-%2").arg(path, stamp);
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = QStringLiteral("%1.damaged-%2-%3").arg(path, stamp).arg(n);
    if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(aside).constData()) != 0) {
        error = QStringLiteral("journal %1 is damaged and cannot be set aside: %2")
                    .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    // The write-ahead log belongs to the file it was written for, and goes with it; the shared
    // memory index is rebuilt from it.
    const QString wal = path + QStringLiteral("-wal");
    if (QFileInfo::exists(wal))
        ::rename(QFile::encodeName(wal).constData(),
                 QFile::encodeName(aside + QStringLiteral("-wal")).constData());
    QFile::remove(path + QStringLiteral("-shm"));
    logger()->error(QStringLiteral("Journal %1 is damaged (%2); it was set aside as %3 and a new "
                                   "journal started")
                        .arg(path, error, aside));
    setAsidePath = aside;
    return true;
}

bool Journal::Private::openReadOnly()
{
    if (!QFileInfo::exists(path)) {
        error = QStringLiteral("no journal at %1").arg(path);
        return false;
    }
    const QByteArray uri =
        "file:" + QUrl::toPercentEncoding(path, QByteArrayLiteral("/")) + "?mode=ro";
    const int rc =
        sqlite3_open_v2(uri.constData(), &db,
                        SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        error = QStringLiteral("cannot open journal %1: %2")
                    .arg(path, db ? QString::fromUtf8(sqlite3_errmsg(db))
                                  : QString::fromUtf8(sqlite3_errstr(rc)));
        closeDatabase();
        return false;
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, BusyTimeoutMs);
    Shape shape = Shape::Empty;
    if (!inspect(&shape)) {
        closeDatabase();
        return false;
    }
    if (shape != Shape::Journal) {
        if (shape == Shape::Empty)
            error = QStringLiteral("journal %1 holds no journal yet").arg(path);
        error = QStringLiteral("journal %1 is damaged: %2").arg(path, error);
        closeDatabase();
        return false;
    }
    if (!findNoteColumn(false)) {
        closeDatabase();
        return false;
    }
    return true;
}

bool Journal::Private::findNoteColumn(bool add)
{
    const auto present = [this](bool *found) {
        Statement column(db, "SELECT count(*) FROM pragma_table_info('entries') WHERE name = ?1");
        if (!column || !column.bind(1, QString::fromLatin1(NoteColumn)) ||
            column.step() != SQLITE_ROW)
            return fail(QStringLiteral("cannot read journal %1").arg(path));
        *found = column.number(0) > 0;
        return true;
    };
    if (!present(&hasNote))
        return false;
    if (hasNote || !add)
        return true;
    // Under the write lock, asked again: another process may be adding it at the same moment.
    if (!exec("BEGIN IMMEDIATE"))
        return false;
    if (!present(&hasNote) || (!hasNote && !exec(AddNoteColumn)) || !exec("COMMIT")) {
        const QString failure = error;
        exec("ROLLBACK");
        error = failure;
        return false;
    }
    hasNote = true;
    return true;
}

QByteArray Journal::Private::selectEntries() const
{
    return QByteArray(EntryColumns) + (hasNote ? ", note" : ", ''") + " FROM entries";
}

bool Journal::Private::ensureOpen()
{
    if (db)
        return true;
    error = QStringLiteral("journal is not open");
    return false;
}

int Journal::Private::change(const char *sql, const std::function<bool(Statement &)> &bind)
{
    if (!ensureOpen())
        return -1;
    if (mode == OpenMode::ReadOnly) {
        error = QStringLiteral("journal %1 is open read-only").arg(path);
        return -1;
    }
    Statement statement(db, sql);
    if (!statement) {
        fail(QStringLiteral("cannot prepare a journal change"));
        return -1;
    }
    if (!bind(statement)) {
        fail(QStringLiteral("cannot bind a journal change"));
        return -1;
    }
    // One statement in autocommit mode is one transaction: when step reports DONE the change
    // is committed and, with synchronous FULL, synced to the WAL file.
    if (statement.step() != SQLITE_DONE) {
        fail(QStringLiteral("cannot write journal %1").arg(path));
        return -1;
    }
    error.clear();
    return sqlite3_changes(db);
}

bool Journal::Private::readEntries(const QByteArray &sql,
                                   const std::function<bool(Statement &)> &bind,
                                   QList<Entry> *entries)
{
    if (!ensureOpen())
        return false;
    Statement select(db, sql.constData());
    if (!select)
        return fail(QStringLiteral("cannot prepare a journal read"));
    if (bind && !bind(select))
        return fail(QStringLiteral("cannot bind a journal read"));
    int rc = SQLITE_ROW;
    while ((rc = select.step()) == SQLITE_ROW) {
        Entry entry;
        entry.id = select.number(0);
        entry.kind = select.text(1) == QLatin1String("refund") ? Kind::Refund : Kind::Sale;
        entry.orderId = select.text(2);
        entry.refundId = select.text(3);
        entry.amountKopecks = select.number(4);
        const QString state = select.text(5);
        for (const State candidate : {State::Open, State::Answered, State::Unknown,
                                      State::ReversalQueued, State::Finished}) {
            if (stateName(candidate) == state)
                entry.state = candidate;
        }
        const QString outcome = select.text(6);
        for (const Outcome candidate :
             {Outcome::Done, Outcome::Queued, Outcome::Failed, Outcome::Unknown}) {
            if (outcomeName(candidate) == outcome)
                entry.outcome = candidate;
        }
        entry.status = int(select.number(7));
        entry.rrn = select.text(8);
        entry.recorded = parseTime(select.text(9));
        entry.answered = parseTime(select.text(10));
        entry.resolved = parseTime(select.text(11));
        entry.queueMessage = parseObject(select.text(12));
        entry.refundBody = parseObject(select.text(13));
        entry.note = parseObject(select.text(14));
        entries->append(entry);
    }
    if (rc != SQLITE_DONE)
        return fail(QStringLiteral("cannot read journal %1").arg(path));
    error.clear();
    return true;
}

qint64 Journal::Private::record(Kind kind, const QString &orderId, const QString &refundId,
                                qint64 amount, const QJsonObject &refundBody,
                                const QJsonObject &queueMessage)
{
    const int changed =
        change("INSERT INTO entries (kind, order_id, refund_id, amount, owner, state, recorded,"
               " refund_body, queue_message) VALUES (?1, ?2, ?3, ?4, ?5, 'open', ?6, ?7, ?8)",
               [&](Statement &insert) {
                   return insert.bind(1, kindName(kind)) && insert.bind(2, orderId) &&
                          insert.bind(3, refundId) && insert.bind(4, amount) &&
                          insert.bind(5, owner.token()) && insert.bind(6, nowText()) &&
                          insert.bind(7, refundBody.isEmpty() ? QString() : jsonText(refundBody)) &&
                          insert.bind(8, jsonText(queueMessage));
               });
    return changed == 1 ? sqlite3_last_insert_rowid(db) : 0;
}

Journal::Journal() : d(new Private) {}

Journal::~Journal()
{
    close();
}

QString Journal::defaultPath(const Config *config)
{
    const QString configured = config ? config->getString(PathKey).trimmed() : QString();
    if (!configured.isEmpty())
        return QFileInfo(configured).absoluteFilePath();
    // Like the queue: one journal per till wherever it is started from when installed, and one
    // per working directory for a build tree's till, which a developer or a test runs in a
    // directory of its own.
    if (runsFromBuildTree())
        return QDir::current().absoluteFilePath(FileName);
    return QDir(QStringLiteral(VELMOR_STATE_DIR)).absoluteFilePath(FileName);
}

int Journal::retentionDays(const Config *config)
{
    if (!config)
        return DefaultRetentionDays;
    bool ok = false;
    const int days = config->getString(RetentionKey).trimmed().toInt(&ok);
    return ok && days > 0 ? days : DefaultRetentionDays;
}

bool Journal::open(const QString &path, OpenMode mode, int retentionDays)
{
    close();
    d->path = QFileInfo(path).absoluteFilePath();
    d->mode = mode;
    d->setAsidePath.clear();
    d->error.clear();
    if (mode == OpenMode::ReadOnly)
        return d->openReadOnly();

    bool damaged = false;
    if (!d->connect(&damaged)) {
        // Set aside once: a file that is damaged again right after is no damage to set aside
        // but a fault of the place, and is reported as one.
        if (!damaged || !d->setAside() || !d->connect(&damaged)) {
            if (damaged)
                d->error =
                    QStringLiteral("journal %1 cannot be started: %2").arg(d->path, d->error);
            logger()->error(QStringLiteral("Journal unusable: %1").arg(d->error));
            return false;
        }
    }
    if (!d->findNoteColumn(true)) {
        logger()->error(QStringLiteral("Journal unusable: %1").arg(d->error));
        d->closeDatabase();
        return false;
    }
    if (!d->owner.take(d->ownersFile())) {
        d->error = QStringLiteral("journal %1: %2").arg(d->path, d->owner.errorString());
        logger()->error(QStringLiteral("Journal unusable: %1").arg(d->error));
        d->closeDatabase();
        return false;
    }
    const int pruned = prune(retentionDays);
    if (pruned < 0) {
        logger()->error(QStringLiteral("Journal unusable: %1").arg(d->error));
        close();
        return false;
    }
    if (pruned > 0)
        logger()->info(QStringLiteral("Journal %1: %2 entries older than %3 days deleted")
                           .arg(d->path)
                           .arg(pruned)
                           .arg(retentionDays));
    d->error.clear();
    return true;
}

void Journal::close()
{
    d->closeDatabase();
    d->owner.release();
}

bool Journal::isOpen() const
{
    return d->db != nullptr;
}

QString Journal::path() const
{
    return d->path;
}

QString Journal::errorString() const
{
    return d->error;
}

QString Journal::setAsidePath() const
{
    return d->setAsidePath;
}

qint64 Journal::recordSale(const QString &orderId, qint64 amountKopecks,
                           const QJsonObject &queueMessage)
{
    return d->record(Kind::Sale, orderId, QString(), amountKopecks, QJsonObject(), queueMessage);
}

qint64 Journal::recordRefund(const QString &orderId, const QString &refundId, qint64 amountKopecks,
                             const QJsonObject &refundBody, const QJsonObject &queueMessage)
{
    return d->record(Kind::Refund, orderId, refundId, amountKopecks, refundBody, queueMessage);
}

bool Journal::markAnswered(qint64 entry, Outcome outcome, int status, const QString &rrn,
                           const QJsonObject &note)
{
    // A refund whose outcome is unknown keeps what the resolution will queue; any other answer
    // settles the entry, and the messages are dropped so that the file stays small.
    const bool unknown = outcome == Outcome::Unknown;
    const int changed = d->change(
        unknown ? "UPDATE entries SET state = 'unknown', outcome = ?2, status = ?3, rrn = ?4,"
                  " answered = ?5, note = ?6 WHERE id = ?1 AND state = 'open'"
                : "UPDATE entries SET state = 'answered', outcome = ?2, status = ?3, rrn = ?4,"
                  " answered = ?5, note = ?6, queue_message = '', refund_body = '' WHERE id = ?1"
                  " AND state = 'open'",
        [&](Statement &update) {
            return update.bind(1, entry) && update.bind(2, outcomeName(outcome)) &&
                   update.bind(3, qint64(status)) && update.bind(4, rrn) &&
                   update.bind(5, nowText()) &&
                   update.bind(6, note.isEmpty() ? QString() : jsonText(note));
        });
    if (changed == 0)
        d->error = QStringLiteral("journal %1: entry %2 is not open").arg(d->path).arg(entry);
    return changed == 1;
}

QList<Journal::Entry> Journal::deadEntries()
{
    QList<Entry> dead;
    if (!d->ensureOpen())
        return dead;
    // The owners first, each asked once: a till that died with many entries open costs one
    // question.
    QStringList owners;
    {
        Statement select(d->db, "SELECT DISTINCT owner FROM entries WHERE " VELMOR_UNSETTLED
                                " AND state = 'open'");
        if (!select) {
            d->fail(QStringLiteral("cannot read journal %1").arg(d->path));
            return dead;
        }
        int rc = SQLITE_ROW;
        while ((rc = select.step()) == SQLITE_ROW) {
            const QString token = select.text(0);
            if (token != d->owner.token())
                owners.append(token);
        }
        if (rc != SQLITE_DONE) {
            d->fail(QStringLiteral("cannot read journal %1").arg(d->path));
            return dead;
        }
    }
    const QStringList ended = JournalOwner::ended(d->ownersFile(), owners);
    // The ended owners go in as one JSON array, whatever their number.
    QJsonArray tokens;
    for (const QString &token : qAsConst(ended))
        tokens.append(token);
    const QByteArray sql = d->selectEntries() +
                           " WHERE " VELMOR_UNSETTLED
                           " AND (state = 'unknown' OR (state = 'open' AND owner IN"
                           " (SELECT value FROM json_each(?1)))) ORDER BY id";
    const QString tokenText =
        QString::fromUtf8(QJsonDocument(tokens).toJson(QJsonDocument::Compact));
    if (!d->readEntries(
            sql, [&tokenText](Statement &select) { return select.bind(1, tokenText); }, &dead))
        dead.clear();
    return dead;
}

int Journal::resolve(const std::function<bool(const Entry &)> &handOver)
{
    if (!d->ensureOpen())
        return -1;
    // IMMEDIATE takes the write lock at once: a second resolver waits here, then finds the
    // entries handed over already.
    if (!d->exec("BEGIN IMMEDIATE"))
        return -1;
    const QList<Entry> dead = deadEntries();
    bool ok = d->error.isEmpty();
    int handedOver = 0;
    for (const Entry &entry : dead) {
        if (!ok)
            break;
        if (!handOver(entry))
            continue;
        ok = markReversedQueued(entry.id);
        if (ok)
            ++handedOver;
    }
    if (ok && d->exec("COMMIT"))
        return handedOver;
    const QString error = d->error;
    d->exec("ROLLBACK");
    d->error = error;
    return -1;
}

bool Journal::markReversedQueued(qint64 entry)
{
    const int changed = d->change(
        "UPDATE entries SET state = 'reversal-queued', resolved = ?2 WHERE id = ?1 AND"
        " state IN ('open', 'unknown')",
        [&](Statement &update) { return update.bind(1, entry) && update.bind(2, nowText()); });
    if (changed == 0)
        d->error =
            QStringLiteral("journal %1: entry %2 waits for no resolution").arg(d->path).arg(entry);
    return changed == 1;
}

bool Journal::openRefundFor(const QString &orderId, Entry *refund)
{
    QList<Entry> found;
    const QByteArray sql = d->selectEntries() +
                           " WHERE order_id = ?1 AND kind = 'refund' AND " VELMOR_UNSETTLED
                           " ORDER BY id DESC LIMIT 1";
    if (!d->readEntries(
            sql, [&orderId](Statement &select) { return select.bind(1, orderId); }, &found) ||
        found.isEmpty())
        return false;
    if (refund)
        *refund = found.first();
    return true;
}

int Journal::markFinished(const QString &orderId, const QString &refundId)
{
    return d->change(
        "UPDATE entries SET state = 'finished', resolved = ?3, queue_message = '',"
        " refund_body = '' WHERE order_id = ?1 AND state IN ('unknown', 'reversal-queued') AND"
        " ((?2 = '' AND kind = 'sale') OR (?2 <> '' AND kind = 'refund' AND refund_id = ?2))",
        [&](Statement &update) {
            return update.bind(1, orderId) && update.bind(2, refundId) && update.bind(3, nowText());
        });
}

int Journal::prune(int retentionDays)
{
    const QString cutoff =
        timeText(QDateTime::currentDateTimeUtc().addDays(-qMax(retentionDays, 1)));
    return d->change("DELETE FROM entries WHERE recorded < ?1 AND state IN ('answered',"
                     " 'reversal-queued', 'finished')",
                     [&cutoff](Statement &remove) { return remove.bind(1, cutoff); });
}

bool Journal::readEntries(const QDateTime &since, bool unsettledOnly, QList<Entry> *entries)
{
    QByteArray sql = d->selectEntries() + " WHERE recorded >= ?1";
    if (unsettledOnly)
        sql += " AND " VELMOR_UNSETTLED;
    sql += " ORDER BY id";
    const QString from = since.isValid() ? timeText(since) : QString();
    return d->readEntries(
        sql, [&from](Statement &select) { return select.bind(1, from); }, entries);
}

bool Journal::lastSlip(Entry *entry)
{
    QList<Entry> found;
    // Newest first by id: the clock may have been set back between two operations.
    const QByteArray sql = d->selectEntries() +
                           " WHERE json_extract(CASE WHEN json_valid(note) THEN note END,"
                           " '$.slip') IS NOT NULL ORDER BY id DESC LIMIT 1";
    if (!d->hasNote) {
        d->error.clear();
        return false;
    }
    if (!d->readEntries(sql, {}, &found) || found.isEmpty())
        return false;
    *entry = found.first();
    return true;
}

bool Journal::figures(Figures *figures)
{
    if (!d->ensureOpen())
        return false;
    Statement select(d->db, "SELECT (SELECT count(*) FROM entries WHERE " VELMOR_UNSETTLED
                            " AND state IN ('open', 'unknown')), count(*), min(resolved) FROM"
                            " entries WHERE " VELMOR_UNSETTLED " AND state = 'reversal-queued'");
    if (!select || select.step() != SQLITE_ROW)
        return d->fail(QStringLiteral("cannot read journal %1").arg(d->path));
    figures->open = select.number(0);
    figures->reversalsQueued = select.number(1);
    const QDateTime oldest = parseTime(select.text(2));
    figures->oldestReversalAgeSeconds =
        oldest.isValid() ? qMax<qint64>(oldest.secsTo(QDateTime::currentDateTimeUtc()), 0) : 0;
    d->error.clear();
    return true;
}

QString Journal::kindName(Kind kind)
{
    return kind == Kind::Refund ? QStringLiteral("refund") : QStringLiteral("sale");
}

QString Journal::stateName(State state)
{
    switch (state) {
    case State::Open:
        return QStringLiteral("open");
    case State::Answered:
        return QStringLiteral("answered");
    case State::Unknown:
        return QStringLiteral("unknown");
    case State::ReversalQueued:
        return QStringLiteral("reversal-queued");
    case State::Finished:
        return QStringLiteral("finished");
    }
    return QString();
}

QString Journal::outcomeName(Outcome outcome)
{
    switch (outcome) {
    case Outcome::None:
        return QString();
    case Outcome::Done:
        return QStringLiteral("done");
    case Outcome::Queued:
        return QStringLiteral("queued");
    case Outcome::Failed:
        return QStringLiteral("failed");
    case Outcome::Unknown:
        return QStringLiteral("unknown");
    }
    return QString();
}

} // namespace velmor
