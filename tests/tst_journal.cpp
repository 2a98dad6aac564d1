// The plug-in's write-ahead journal over a real SQLite file in a temporary directory: entries
// and their changes as stored, a damaged file set aside, places that cannot hold a journal,
// pruning, and the liveness of the process that wrote an entry, told with a real child process
// killed with SIGKILL.

#include <config.h>
#include <log4qt/listappender.h>
#include <log4qt/logger.h>
#include <log4qt/logmanager.h>
#include <velmor/journal.h>

#include <gmock/gmock.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <atomic>
#include <csignal>
#include <sys/stat.h>
#include <thread>

using testing::HasSubstr;
using velmor::Journal;

namespace {

QJsonObject cancellationOf(const QString &orderId)
{
    return QJsonObject{{QStringLiteral("orderId"), orderId},
                       {QStringLiteral("cancel"), true},
                       {QStringLiteral("positions"), 2}};
}

QJsonObject refundBodyOf(const QString &refundId)
{
    return QJsonObject{{QStringLiteral("refundId"), refundId}, {QStringLiteral("amount"), 500.0}};
}

QJsonObject cancellationOf(const char *orderId)
{
    return cancellationOf(QString::fromUtf8(orderId));
}

QJsonObject refundBodyOf(const char *refundId)
{
    return refundBodyOf(QString::fromUtf8(refundId));
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(content) == content.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs `sql` on the file with a connection of the test's own, behind the journal's back.
bool execOn(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    bool ok = sqlite3_open_v2(path.toUtf8().constData(), &db,
                              SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK;
    ok = ok && sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close_v2(db);
    return ok;
}

// The first column of the first row `sql` reads from the file at `path`.
QString textOn(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    sqlite3_stmt *statement = nullptr;
    QString text;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
            SQLITE_OK &&
        sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        text = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)));
    sqlite3_finalize(statement);
    sqlite3_close_v2(db);
    return text;
}

QList<qint64> idsOf(const QList<Journal::Entry> &entries)
{
    QList<qint64> ids;
    for (const Journal::Entry &entry : entries)
        ids.append(entry.id);
    return ids;
}

class JournalTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString path(const QString &name = QStringLiteral("journal.sqlite")) const
    {
        return m_dir.filePath(name);
    }

    QTemporaryDir m_dir;
};

// --- entries as stored ---

struct AnswerCase
{
    const char *name;
    Journal::Kind kind;
    Journal::Outcome outcome;
    Journal::State state;
    // Whether what a resolution queues is still kept after the answer.
    bool keepsMessages;
};

class JournalAnswerTest : public JournalTest, public testing::WithParamInterface<AnswerCase>
{
};

TEST_P(JournalAnswerTest, EntryAndAnswerReadBackAfterReopening)
{
    const AnswerCase &row = GetParam();
    const QString order = QStringLiteral("заказ-42");
    const QString refundId = row.kind == Journal::Kind::Refund ? QStringLiteral("r-7") : QString();
    qint64 id = 0;
    {
        Journal journal;
        ASSERT_TRUE(journal.open(path())) << journal.errorString().toStdString();
        id = row.kind == Journal::Kind::Sale
                 ? journal.recordSale(order, 200000, cancellationOf(order))
                 : journal.recordRefund(order, refundId, 50000, refundBodyOf(refundId),
                                        cancellationOf(order));
        ASSERT_GT(id, 0) << journal.errorString().toStdString();
        ASSERT_TRUE(journal.markAnswered(id, row.outcome, 0, QStringLiteral("rrn-1")));
        // An answer is given once: a second one is a caller's fault, refused.
        EXPECT_FALSE(journal.markAnswered(id, Journal::Outcome::Done, 0, QString()));
    }
    Journal journal;
    ASSERT_TRUE(journal.open(path()));
    QList<Journal::Entry> entries;
    ASSERT_TRUE(journal.readEntries(QDateTime(), false, &entries));
    ASSERT_EQ(entries.size(), 1);
    const Journal::Entry &entry = entries.first();
    EXPECT_EQ(entry.id, id);
    EXPECT_EQ(entry.kind, row.kind);
    EXPECT_EQ(entry.orderId, order);
    EXPECT_EQ(entry.refundId, refundId);
    EXPECT_EQ(entry.amountKopecks, row.kind == Journal::Kind::Sale ? 200000 : 50000);
    EXPECT_EQ(entry.state, row.state);
    EXPECT_EQ(entry.outcome, row.outcome);
    EXPECT_EQ(entry.rrn, QStringLiteral("rrn-1"));
    EXPECT_TRUE(entry.recorded.isValid());
    EXPECT_LE(qAbs(entry.recorded.secsTo(QDateTime::currentDateTimeUtc())), 60);
    EXPECT_TRUE(entry.answered.isValid());
    EXPECT_EQ(entry.queueMessage, row.keepsMessages ? cancellationOf(order) : QJsonObject());
    EXPECT_EQ(entry.refundBody, row.keepsMessages && row.kind == Journal::Kind::Refund
                                    ? refundBodyOf(refundId)
                                    : QJsonObject());
    // Only an unknown refund waits for the next resolution; this process is alive, so nothing
    // else does.
    EXPECT_EQ(journal.deadEntries().size(), row.state == Journal::State::Unknown ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, JournalAnswerTest,
    testing::Values(AnswerCase{"SaleDone", Journal::Kind::Sale, Journal::Outcome::Done,
                               Journal::State::Answered, false},
                    AnswerCase{"SaleFailed", Journal::Kind::Sale, Journal::Outcome::Failed,
                               Journal::State::Answered, false},
                    AnswerCase{"RefundDone", Journal::Kind::Refund, Journal::Outcome::Done,
                               Journal::State::Answered, false},
                    AnswerCase{"RefundQueued", Journal::Kind::Refund, Journal::Outcome::Queued,
                               Journal::State::Answered, false},
                    AnswerCase{"RefundFailed", Journal::Kind::Refund, Journal::Outcome::Failed,
                               Journal::State::Answered, false},
                    AnswerCase{"RefundUnknown", Journal::Kind::Refund, Journal::Outcome::Unknown,
                               Journal::State::Unknown, true}),
    [](const testing::TestParamInfo<AnswerCase> &caseInfo) { return caseInfo.param.name; });

TEST_F(JournalTest, UnknownRefundIsResolvedOnceAndFinishedByTheReplay)
{
    Journal journal;
    ASSERT_TRUE(journal.open(path()));
    const QString order = QStringLiteral("o-1");
    const qint64 sale = journal.recordSale(order, 100000, cancellationOf(order));
    ASSERT_TRUE(journal.markAnswered(sale, Journal::Outcome::Done, 0, order));
    const qint64 refund =
        journal.recordRefund(order, QStringLiteral("r-1"), 30000,
                             refundBodyOf(QStringLiteral("r-1")), cancellationOf(order));
    Journal::Entry earlier;
    // Open: without a known outcome already, so a repeated refund must wait.
    ASSERT_TRUE(journal.openRefundFor(order, &earlier));
    EXPECT_EQ(earlier.id, refund);
    EXPECT_FALSE(journal.openRefundFor(QStringLiteral("o-other"), &earlier));
    ASSERT_TRUE(journal.markAnswered(refund, Journal::Outcome::Unknown, 6, QString()));

    Journal::Figures figures;
    ASSERT_TRUE(journal.figures(&figures));
    EXPECT_EQ(figures.open, 1);
    EXPECT_EQ(figures.reversalsQueued, 0);

    const QList<Journal::Entry> dead = journal.deadEntries();
    ASSERT_EQ(idsOf(dead), QList<qint64>{refund});
    EXPECT_EQ(dead.first().refundBody, refundBodyOf(QStringLiteral("r-1")));
    EXPECT_EQ(dead.first().queueMessage, cancellationOf(order));
    ASSERT_TRUE(journal.markReversedQueued(refund));
    // Handed over once: a second resolution neither sees it nor may mark it.
    EXPECT_TRUE(journal.deadEntries().isEmpty());
    EXPECT_FALSE(journal.markReversedQueued(refund));
    ASSERT_TRUE(journal.figures(&figures));
    EXPECT_EQ(figures.open, 0);
    EXPECT_EQ(figures.reversalsQueued, 1);
    EXPECT_GE(figures.oldestReversalAgeSeconds, 0);

    // Still without a known outcome until the replay has finished it.
    ASSERT_TRUE(journal.openRefundFor(order, &earlier));
    EXPECT_EQ(earlier.amountKopecks, 30000);
    EXPECT_EQ(earlier.refundId, QStringLiteral("r-1"));
    // Another refund id, or the sale's reversal, finishes nothing of it.
    EXPECT_EQ(journal.markFinished(order, QStringLiteral("r-2")), 0);
    EXPECT_EQ(journal.markFinished(order, QString()), 0);
    EXPECT_EQ(journal.markFinished(order, QStringLiteral("r-1")), 1);
    EXPECT_FALSE(journal.openRefundFor(order, &earlier));
    ASSERT_TRUE(journal.figures(&figures));
    EXPECT_EQ(figures.reversalsQueued, 0);

    QList<Journal::Entry> unsettled;
    ASSERT_TRUE(journal.readEntries(QDateTime(), true, &unsettled));
    EXPECT_TRUE(unsettled.isEmpty());
    QList<Journal::Entry> all;
    ASSERT_TRUE(journal.readEntries(QDateTime(), false, &all));
    EXPECT_EQ(idsOf(all), (QList<qint64>{sale, refund}));
    EXPECT_EQ(all.last().state, Journal::State::Finished);
    EXPECT_TRUE(all.last().refundBody.isEmpty());
}

TEST_F(JournalTest, ListingFromAReadOnlyOpenSeesWhatTheWriterCommitted)
{
    Journal writer;
    ASSERT_TRUE(writer.open(path()));
    const qint64 first = writer.recordSale(QStringLiteral("a"), 100, cancellationOf("a"));
    const qint64 second = writer.recordSale(QStringLiteral("b"), 200, cancellationOf("b"));
    ASSERT_TRUE(writer.markAnswered(first, Journal::Outcome::Done, 0, QStringLiteral("a")));
    // Backdated behind the writer's back, to look for entries since a time.
    ASSERT_TRUE(execOn(path(), "UPDATE entries SET recorded = '2026-01-01T00:00:00.000Z' WHERE "
                               "order_id = 'a'"));

    Journal reader;
    ASSERT_TRUE(reader.open(path(), Journal::OpenMode::ReadOnly))
        << reader.errorString().toStdString();
    QList<Journal::Entry> entries;
    ASSERT_TRUE(reader.readEntries(QDateTime(), false, &entries));
    EXPECT_EQ(idsOf(entries), (QList<qint64>{first, second}));
    entries.clear();
    ASSERT_TRUE(
        reader.readEntries(QDateTime(QDate(2026, 6, 1), QTime(0, 0), Qt::UTC), false, &entries));
    EXPECT_EQ(idsOf(entries), QList<qint64>{second});
    entries.clear();
    ASSERT_TRUE(reader.readEntries(QDateTime(), true, &entries));
    EXPECT_EQ(idsOf(entries), QList<qint64>{second});
    // The writer runs: its open entry is no dead one, read-only or not.
    EXPECT_TRUE(reader.deadEntries().isEmpty());
    EXPECT_TRUE(reader.errorString().isEmpty());
    // A reader changes nothing.
    EXPECT_FALSE(reader.markReversedQueued(second));
    EXPECT_EQ(reader.prune(1), -1);
}

// A file of the first schema (no note column, the unsettled entries' index listing their three
// states) is read as it is when opened read-only, and given the column and today's index,
// entries kept, when opened for writing; the answer's note and the last slip read back after
// that.
TEST_F(JournalTest, FileOfTheFirstSchemaIsMigratedAndKeepsItsEntries)
{
    qint64 old = 0;
    qint64 open = 0;
    {
        Journal journal;
        ASSERT_TRUE(journal.open(path()));
        old = journal.recordSale(QStringLiteral("old-1"), 100000,
                                 cancellationOf(QStringLiteral("old-1")));
        ASSERT_TRUE(journal.markAnswered(old, Journal::Outcome::Done, 0, QStringLiteral("old-1")));
        open = journal.recordSale(QStringLiteral("old-2"), 700,
                                  cancellationOf(QStringLiteral("old-2")));
    }
    const char *const indexText = "SELECT sql FROM sqlite_master WHERE name = 'entries_unsettled'";
    ASSERT_TRUE(execOn(path(), "ALTER TABLE entries DROP COLUMN note;"
                               "DROP INDEX entries_unsettled;"
                               "CREATE INDEX entries_unsettled ON entries (state) WHERE state IN"
                               " ('open', 'unknown', 'reversal-queued')"));
    {
        Journal reader;
        ASSERT_TRUE(reader.open(path(), Journal::OpenMode::ReadOnly))
            << qPrintable(reader.errorString());
        QList<Journal::Entry> entries;
        ASSERT_TRUE(reader.readEntries(QDateTime(), false, &entries))
            << qPrintable(reader.errorString());
        ASSERT_EQ(idsOf(entries), (QList<qint64>{old, open}));
        EXPECT_TRUE(entries.first().note.isEmpty());
        QList<Journal::Entry> unsettled;
        ASSERT_TRUE(reader.readEntries(QDateTime(), true, &unsettled));
        EXPECT_EQ(idsOf(unsettled), QList<qint64>{open});
        Journal::Entry last;
        EXPECT_FALSE(reader.lastSlip(&last));
        EXPECT_TRUE(reader.errorString().isEmpty());
    }
    EXPECT_THAT(textOn(path(), indexText).toStdString(), HasSubstr("'reversal-queued'"));
    Journal journal;
    ASSERT_TRUE(journal.open(path())) << qPrintable(journal.errorString());
    EXPECT_TRUE(journal.setAsidePath().isEmpty());
    EXPECT_THAT(textOn(path(), indexText).toStdString(),
                HasSubstr("WHERE state NOT IN ('answered', 'finished')"));
    ASSERT_TRUE(journal.markAnswered(open, Journal::Outcome::Done, 0, QStringLiteral("old-2")));
    const QJsonObject slip{{QStringLiteral("queued"), false}, {QStringLiteral("width"), 48}};
    const QJsonObject note{{QStringLiteral("operation"), QStringLiteral("cancellation")},
                           {QStringLiteral("slip"), slip}};
    const qint64 fresh = journal.recordRefund(QStringLiteral("old-1"), QStringLiteral("r-1"),
                                              100000, refundBodyOf(QStringLiteral("r-1")),
                                              cancellationOf(QStringLiteral("old-1")));
    ASSERT_TRUE(journal.markAnswered(fresh, Journal::Outcome::Done, 0, QString(), note));
    // A later answer without a slip leaves the last slip where it was.
    const qint64 refused =
        journal.recordSale(QStringLiteral("new-2"), 5000, cancellationOf(QStringLiteral("new-2")));
    ASSERT_TRUE(
        journal.markAnswered(refused, Journal::Outcome::Failed, 1, QString(),
                             QJsonObject{{QStringLiteral("operation"), QStringLiteral("sale")}}));
    QList<Journal::Entry> entries;
    ASSERT_TRUE(journal.readEntries(QDateTime(), false, &entries));
    ASSERT_EQ(idsOf(entries), (QList<qint64>{old, open, fresh, refused}));
    EXPECT_EQ(entries.at(2).note, note);
    Journal::Entry last;
    ASSERT_TRUE(journal.lastSlip(&last));
    EXPECT_EQ(last.id, fresh);
    EXPECT_EQ(last.note.value(QStringLiteral("slip")).toObject(), slip);
}

TEST_F(JournalTest, NewFileIsSharedWithTheGroupOnly)
{
    const mode_t previous = ::umask(022);
    Journal journal;
    const bool opened = journal.open(path());
    ::umask(previous);
    ASSERT_TRUE(opened);
    struct stat info = {};
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0660u);
    // The owners' lock file too: every till user of the group takes its lock there.
    ASSERT_EQ(::stat(QFile::encodeName(path() + QStringLiteral(".owners")).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0660u);
}

// --- damaged files and places that cannot hold a journal ---

struct DamageCase
{
    const char *name;
    // Makes the damaged file at `path`.
    bool (*make)(const QString &path);
};

class JournalDamageTest : public JournalTest, public testing::WithParamInterface<DamageCase>
{
};

TEST_P(JournalDamageTest, DamagedFileIsSetAsideAndANewJournalStarted)
{
    ASSERT_TRUE(GetParam().make(path()));
    const QByteArray damaged = readFile(path());
    Log4Qt::ListAppender appender;
    Log4Qt::Logger *const logger = Log4Qt::LogManager::logger(QStringLiteral("velmor"), QString());
    logger->addAppender(&appender);

    Journal journal;
    const bool opened = journal.open(path());
    logger->removeAppender(&appender);
    ASSERT_TRUE(opened) << journal.errorString().toStdString();

    const QString aside = journal.setAsidePath();
    ASSERT_FALSE(aside.isEmpty());
    EXPECT_THAT(aside.toStdString(), HasSubstr("journal.sqlite.damaged-"));
    // Never emptied: the damaged file is there as it was, for someone to look at.
    EXPECT_EQ(readFile(aside), damaged);
    bool logged = false;
    for (const Log4Qt::LoggingEvent &event : appender.list())
        logged = logged || (event.level == Log4Qt::Level::ERROR_INT &&
                            event.message.contains(path()) && event.message.contains(aside));
    EXPECT_TRUE(logged);

    // The new journal works and starts empty.
    QList<Journal::Entry> entries;
    ASSERT_TRUE(journal.readEntries(QDateTime(), false, &entries));
    EXPECT_TRUE(entries.isEmpty());
    EXPECT_GT(journal.recordSale(QStringLiteral("o"), 1, cancellationOf("o")), 0);
    journal.close();
    // And is no damaged file the next time.
    ASSERT_TRUE(journal.open(path()));
    EXPECT_TRUE(journal.setAsidePath().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Damage, JournalDamageTest,
    testing::Values(
        DamageCase{"NotADatabase",
                   [](const QString &path) { return writeFile(path, QByteArray(8192, 'Z')); }},
        DamageCase{"TruncatedJournal",
                   [](const QString &path) {
                       {
                           Journal journal;
                           if (!journal.open(path))
                               return false;
                           for (int i = 0; i < 200; ++i)
                               journal.recordSale(QString::number(i), i,
                                                  cancellationOf(QString(500, QLatin1Char('x'))));
                       }
                       // The WAL is checkpointed at the last close; cut the file in the middle
                       // of its pages.
                       QFile file(path);
                       return file.resize(file.size() / 2 + 100);
                   }},
        DamageCase{"OtherSchema",
                   [](const QString &path) {
                       return execOn(path, "CREATE TABLE messages (id INTEGER PRIMARY KEY)");
                   }},
        DamageCase{"NewerSchema",
                   [](const QString &path) {
                       {
                           Journal journal;
                           if (!journal.open(path))
                               return false;
                       }
                       return execOn(path, "PRAGMA user_version = 7");
                   }}),
    [](const testing::TestParamInfo<DamageCase> &caseInfo) { return caseInfo.param.name; });

struct PlaceCase
{
    const char *name;
    // The journal's path under the test directory `dir`, made unusable.
    QString (*make)(const QString &dir);
};

class JournalPlaceTest : public JournalTest, public testing::WithParamInterface<PlaceCase>
{
};

TEST_P(JournalPlaceTest, UnusablePlaceIsAFailureWithTheFileNamed)
{
    const QString place = GetParam().make(m_dir.path());
    ASSERT_FALSE(place.isEmpty());
    Journal journal;
    EXPECT_FALSE(journal.open(place));
    EXPECT_FALSE(journal.isOpen());
    EXPECT_THAT(journal.errorString().toStdString(), HasSubstr(place.toStdString()));
    EXPECT_EQ(journal.recordSale(QStringLiteral("o"), 1, cancellationOf("o")), 0);
    EXPECT_FALSE(journal.errorString().isEmpty());
    // Nothing was set aside: the place is at fault, not a file.
    EXPECT_TRUE(journal.setAsidePath().isEmpty());
    EXPECT_TRUE(QDir(m_dir.path())
                    .entryList(QStringList{QStringLiteral("*.damaged-*")}, QDir::Files)
                    .isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Places, JournalPlaceTest,
    testing::Values(PlaceCase{"DirectoryMissing",
                              [](const QString &dir) {
                                  return dir + QStringLiteral("/no/such/journal.sqlite");
                              }},
                    // These two hold for root too, which ignores permission bits.
                    PlaceCase{"ParentIsAFile",
                              [](const QString &dir) {
                                  return writeFile(dir + QStringLiteral("/plain"), "x")
                                             ? dir + QStringLiteral("/plain/journal.sqlite")
                                             : QString();
                              }},
                    PlaceCase{"PathIsADirectory",
                              [](const QString &dir) {
                                  const QString path = dir + QStringLiteral("/journal.sqlite");
                                  return QDir().mkpath(path) ? path : QString();
                              }},
                    PlaceCase{"OwnersPlaceTaken",
                              [](const QString &dir) {
                                  // The owners' locks cannot be made: the journal could not tell
                                  // its entries from a dead process's, so it is refused.
                                  const QString path = dir + QStringLiteral("/journal.sqlite");
                                  return QDir().mkpath(path + QStringLiteral(".owners"))
                                             ? path
                                             : QString();
                              }}),
    [](const testing::TestParamInfo<PlaceCase> &caseInfo) { return caseInfo.param.name; });

TEST_F(JournalTest, ReadOnlyOpenOfAMissingOrDamagedFileFailsAndChangesNothing)
{
    Journal journal;
    EXPECT_FALSE(journal.open(path(), Journal::OpenMode::ReadOnly));
    EXPECT_FALSE(QFileInfo::exists(path()));
    ASSERT_TRUE(writeFile(path(), QByteArray(4096, 'Z')));
    EXPECT_FALSE(journal.open(path(), Journal::OpenMode::ReadOnly));
    EXPECT_THAT(journal.errorString().toStdString(), HasSubstr("damaged"));
    EXPECT_EQ(readFile(path()), QByteArray(4096, 'Z'));
}

// --- pruning ---

TEST_F(JournalTest, PruningDeletesOldSettledEntriesAndKeepsWhatIsStillToResolve)
{
    QList<qint64> kept;
    {
        Journal journal;
        ASSERT_TRUE(journal.open(path()));
        const qint64 oldAnswered =
            journal.recordSale(QStringLiteral("old-answered"), 1, cancellationOf("a"));
        journal.markAnswered(oldAnswered, Journal::Outcome::Done, 0, QString());
        const qint64 oldQueued =
            journal.recordRefund(QStringLiteral("old-queued"), QStringLiteral("r"), 1,
                                 refundBodyOf("r"), cancellationOf("b"));
        journal.markAnswered(oldQueued, Journal::Outcome::Unknown, 6, QString());
        journal.markReversedQueued(oldQueued);
        const qint64 oldUnknown =
            journal.recordRefund(QStringLiteral("old-unknown"), QStringLiteral("r2"), 1,
                                 refundBodyOf("r2"), cancellationOf("c"));
        journal.markAnswered(oldUnknown, Journal::Outcome::Unknown, 6, QString());
        const qint64 oldOpen =
            journal.recordSale(QStringLiteral("old-open"), 1, cancellationOf("d"));
        const qint64 recentAnswered =
            journal.recordSale(QStringLiteral("recent"), 1, cancellationOf("e"));
        journal.markAnswered(recentAnswered, Journal::Outcome::Done, 0, QString());
        kept = {oldUnknown, oldOpen, recentAnswered};
    }
    ASSERT_TRUE(execOn(path(), "UPDATE entries SET recorded = strftime('%Y-%m-%dT%H:%M:%fZ', "
                               "'now', '-31 days') WHERE order_id LIKE 'old-%'"));
    // Kept for 60 days: nothing goes.
    Journal journal;
    ASSERT_TRUE(journal.open(path(), Journal::OpenMode::ReadWrite, 60));
    QList<Journal::Entry> entries;
    ASSERT_TRUE(journal.readEntries(QDateTime(), false, &entries));
    EXPECT_EQ(entries.size(), 5);
    journal.close();
    // Kept for 30 days, at the next open: the old answered sale and the old reversal in the
    // queue's hands go, the old unknown refund and the old open sale stay for their resolution.
    ASSERT_TRUE(journal.open(path(), Journal::OpenMode::ReadWrite, 30));
    entries.clear();
    ASSERT_TRUE(journal.readEntries(QDateTime(), false, &entries));
    EXPECT_EQ(idsOf(entries), kept);
    EXPECT_EQ(journal.prune(30), 0);
}

// --- liveness ---

// The journal writer of tests/journalwriter.cpp, run as a process of its own.
class Writer
{
public:
    Writer(const QString &journal, const QString &order, const QString &then = QString())
    {
        QStringList arguments{journal, order};
        if (!then.isEmpty())
            arguments << then;
        m_process.start(QStringLiteral(VELMOR_JOURNAL_WRITER), arguments);
    }
    ~Writer()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }

    // The entry id the writer reports once its entry is committed; 0 when none came.
    qint64 waitForEntry()
    {
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(20000))
                return 0;
        }
        const QByteArray line = m_process.readLine().trimmed();
        return line.startsWith("recorded ") ? line.mid(9).toLongLong() : 0;
    }
    void kill()
    {
        ::kill(static_cast<pid_t>(m_process.processId()), SIGKILL);
        m_process.waitForFinished(10000);
    }
    bool waitForEnd() { return m_process.waitForFinished(20000); }

private:
    QProcess m_process;
};

TEST_F(JournalTest, EntriesOfAKilledProcessAreDeadAndOfARunningOneAreNot)
{
    Journal journal;
    ASSERT_TRUE(journal.open(path()));
    const qint64 ours = journal.recordSale(QStringLiteral("ours"), 1, cancellationOf("ours"));

    Writer killed(path(), QStringLiteral("killed"));
    const qint64 killedEntry = killed.waitForEntry();
    ASSERT_GT(killedEntry, 0);
    Writer running(path(), QStringLiteral("running"));
    const qint64 runningEntry = running.waitForEntry();
    ASSERT_GT(runningEntry, 0);
    Writer answered(path(), QStringLiteral("answered"), QStringLiteral("answer"));
    ASSERT_GT(answered.waitForEntry(), 0);

    // All alive: nothing is dead, not even for a second journal of this process.
    EXPECT_TRUE(journal.deadEntries().isEmpty());
    {
        Journal other;
        ASSERT_TRUE(other.open(path()));
        EXPECT_TRUE(other.deadEntries().isEmpty());
    }

    killed.kill();
    answered.kill();
    // The killed sale is dead; the answered one was seen by its host and never is; the running
    // writer's and our own are not.
    QList<Journal::Entry> dead = journal.deadEntries();
    ASSERT_EQ(idsOf(dead), QList<qint64>{killedEntry}) << journal.errorString().toStdString();
    EXPECT_EQ(dead.first().orderId, QStringLiteral("killed"));
    EXPECT_EQ(dead.first().amountKopecks, 150000);
    EXPECT_EQ(dead.first().queueMessage,
              QJsonObject({{QStringLiteral("orderId"), QStringLiteral("killed")}}));
    EXPECT_TRUE(journal.markReversedQueued(killedEntry));

    running.kill();
    dead = journal.deadEntries();
    EXPECT_EQ(idsOf(dead), QList<qint64>{runningEntry});
    EXPECT_FALSE(idsOf(dead).contains(ours));
}

TEST_F(JournalTest, EntryLeftOpenByAProcessThatEndedNormallyIsDead)
{
    Writer writer(path(), QStringLiteral("closed"), QStringLiteral("close"));
    const qint64 entry = writer.waitForEntry();
    ASSERT_GT(entry, 0);
    ASSERT_TRUE(writer.waitForEnd());
    Journal journal;
    ASSERT_TRUE(journal.open(path()));
    EXPECT_EQ(idsOf(journal.deadEntries()), QList<qint64>{entry});
    // Without the owners' lock file, no owner can run: an entry of any is dead.
    journal.close();
    ASSERT_TRUE(QFile::remove(path() + QStringLiteral(".owners")));
    Journal reader;
    ASSERT_TRUE(reader.open(path(), Journal::OpenMode::ReadOnly));
    EXPECT_EQ(idsOf(reader.deadEntries()), QList<qint64>{entry});
    EXPECT_FALSE(QFile::exists(path() + QStringLiteral(".owners")));
}

TEST_F(JournalTest, ResolutionsAtOnceHandEachDeadEntryOverOnce)
{
    // Ten sales left open by a process that ended, and one refund answered unknown.
    const int Dead = 10;
    {
        Writer writer(path(), QStringLiteral("first"), QStringLiteral("close"));
        ASSERT_GT(writer.waitForEntry(), 0);
        ASSERT_TRUE(writer.waitForEnd());
    }
    {
        // Written as the writer would have: under an owner whose lock nobody holds.
        ASSERT_TRUE(execOn(path(), "INSERT INTO entries (kind, order_id, amount, owner, state,"
                                   " recorded, queue_message) WITH RECURSIVE n(value) AS"
                                   " (SELECT 2 UNION ALL SELECT value + 1 FROM n WHERE value <"
                                   " 10) SELECT 'sale', 'o' || value, 100, 'abc', 'open',"
                                   " '2026-12-01T00:00:00.000Z', '{}' FROM n"));
        Journal journal;
        ASSERT_TRUE(journal.open(path()));
        const qint64 refund = journal.recordRefund(QStringLiteral("r"), QStringLiteral("r-1"), 1,
                                                   refundBodyOf("r-1"), cancellationOf("r"));
        ASSERT_TRUE(journal.markAnswered(refund, Journal::Outcome::Unknown, 6, QString()));
    }
    std::atomic<int> handedOver{0};
    std::atomic<int> failures{0};
    const auto resolver = [&] {
        Journal journal;
        if (!journal.open(path())) {
            ++failures;
            return;
        }
        const int count = journal.resolve([&handedOver](const Journal::Entry &) {
            ++handedOver;
            return true;
        });
        if (count < 0)
            ++failures;
    };
    std::thread first(resolver);
    std::thread second(resolver);
    first.join();
    second.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(handedOver, Dead + 1);

    Journal journal;
    ASSERT_TRUE(journal.open(path()));
    Journal::Figures figures;
    ASSERT_TRUE(journal.figures(&figures));
    EXPECT_EQ(figures.open, 0);
    EXPECT_EQ(figures.reversalsQueued, Dead + 1);
}

TEST_F(JournalTest, EntryTheQueueDidNotTakeStaysForTheNextResolution)
{
    Journal journal;
    ASSERT_TRUE(journal.open(path()));
    const qint64 refund = journal.recordRefund(QStringLiteral("o"), QStringLiteral("r-1"), 1,
                                               refundBodyOf("r-1"), cancellationOf("o"));
    ASSERT_TRUE(journal.markAnswered(refund, Journal::Outcome::Unknown, 6, QString()));
    EXPECT_EQ(journal.resolve([](const Journal::Entry &) { return false; }), 0);
    EXPECT_EQ(idsOf(journal.deadEntries()), QList<qint64>{refund});
    QList<qint64> handed;
    EXPECT_EQ(journal.resolve([&handed](const Journal::Entry &entry) {
        handed.append(entry.id);
        return true;
    }),
              1);
    EXPECT_EQ(handed, QList<qint64>{refund});
    EXPECT_TRUE(journal.deadEntries().isEmpty());
}

// --- where it lives and how long ---

struct SettingCase
{
    const char *name;
    QByteArray ini;
    int retentionDays;
};

class JournalSettingTest : public JournalTest, public testing::WithParamInterface<SettingCase>
{
};

TEST_P(JournalSettingTest, KeysGiveThePathAndTheRetention)
{
    const SettingCase &row = GetParam();
    ASSERT_TRUE(writeFile(path(QStringLiteral("velmor.ini")), row.ini));
    Config config;
    config.loadFile(path(QStringLiteral("velmor.ini")));
    const QString configured = config.getString(Journal::PathKey).trimmed();
    // A till run from the build tree keeps its journal in the working directory.
    EXPECT_EQ(Journal::defaultPath(&config),
              configured.isEmpty() ? QDir::current().absoluteFilePath(Journal::FileName)
                                   : QFileInfo(configured).absoluteFilePath());
    EXPECT_EQ(Journal::retentionDays(&config), row.retentionDays);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, JournalSettingTest,
    testing::Values(SettingCase{"Defaults", "[Velmor]\nurl=http://localhost\n", 90},
                    SettingCase{"Set",
                                "[Velmor]\njournal=/srv/till/j.sqlite\n"
                                "journalRetentionDays=30\n",
                                30},
                    SettingCase{"Relative", "[Velmor]\njournal=state/j.sqlite\n", 90},
                    SettingCase{"RetentionZero", "[Velmor]\njournalRetentionDays=0\n", 90},
                    SettingCase{"RetentionNotANumber", "[Velmor]\njournalRetentionDays=a week\n",
                                90}),
    [](const testing::TestParamInfo<SettingCase> &caseInfo) { return caseInfo.param.name; });

} // namespace
