#include "compactjson.h"
#include "config.h"
#include "dbqueuebroker.h"
#include "singleton.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <ostream>
#include <signal.h>
#include <sqlite3.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

// Failure messages show Qt strings as text rather than as arrays of characters.
static void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

// Reads the file with a connection of its own, so that the checks do not go through the code
// under test.
class RawDatabase
{
public:
    explicit RawDatabase(const QString &path)
    {
        sqlite3_open_v2(path.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr);
    }
    ~RawDatabase() { sqlite3_close_v2(m_db); }
    RawDatabase(const RawDatabase &) = delete;
    RawDatabase &operator=(const RawDatabase &) = delete;

    // Every row's columns joined by '|', rows in order.
    QStringList query(const char *sql) const
    {
        QStringList rows;
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &statement, nullptr) != SQLITE_OK) {
            rows << QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(m_db));
            return rows;
        }
        while (sqlite3_step(statement) == SQLITE_ROW) {
            QStringList columns;
            for (int i = 0; i < sqlite3_column_count(statement); ++i) {
                const auto *text =
                    reinterpret_cast<const char *>(sqlite3_column_text(statement, i));
                columns << (text ? QString::fromUtf8(text) : QStringLiteral("<null>"));
            }
            rows << columns.join(QLatin1Char('|'));
        }
        sqlite3_finalize(statement);
        return rows;
    }

private:
    sqlite3 *m_db = nullptr;
};

QJsonObject cyrillicMessage()
{
    const QJsonObject refund{{QStringLiteral("id"), QStringLiteral("возврат-1")},
                             {QStringLiteral("initiator"), QStringLiteral("Кассир")},
                             {QStringLiteral("items"), QJsonArray{}}};
    return QJsonObject{
        {QStringLiteral("orderId"), QStringLiteral("заказ-№42")},
        {QStringLiteral("comment"), QStringLiteral("Отмена заказа через очередь: «ёЁ» — готово")},
        {QStringLiteral("refund"),
         QJsonObject{{QStringLiteral("order"), QJsonObject{{QStringLiteral("refund"), refund}}}}},
        {QStringLiteral("valutCode"), 643},
        {QStringLiteral("sum"), 1234.56},
        {QStringLiteral("partial"), false},
        {QStringLiteral("none"), QJsonValue::Null}};
}

class DBQueueBrokerTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString dbPath() const { return m_dir.filePath(QStringLiteral("queue.sqlite")); }

    QTemporaryDir m_dir;
};

TEST_F(DBQueueBrokerTest, RoundTripKeepsCyrillicTextAndEveryField)
{
    DBQueueBroker broker(dbPath());
    ASSERT_TRUE(broker.isOpen()) << broker.errorString().toStdString();
    EXPECT_EQ(broker.databasePath(), dbPath());

    const QDateTime before = QDateTime::currentDateTimeUtc().addMSecs(-1);
    qint64 id = 0;
    ASSERT_TRUE(broker.addMessage(QStringLiteral("processing"), cyrillicMessage(),
                                  QStringLiteral("доп"), &id));
    const QDateTime after = QDateTime::currentDateTimeUtc();
    EXPECT_GT(id, 0);

    const QList<QueuedMessage> pending = broker.pendingMessages();
    ASSERT_EQ(pending.size(), 1);
    const QueuedMessage &entry = pending.first();
    EXPECT_EQ(entry.id, id);
    EXPECT_EQ(entry.type, QStringLiteral("processing"));
    EXPECT_EQ(entry.message, cyrillicMessage());
    EXPECT_EQ(entry.message.value(QStringLiteral("comment")).toString(),
              QStringLiteral("Отмена заказа через очередь: «ёЁ» — готово"));
    EXPECT_EQ(entry.extra, QStringLiteral("доп"));
    EXPECT_EQ(entry.attempts, 0);
    EXPECT_FALSE(entry.lastAttempt.isValid());
    ASSERT_TRUE(entry.added.isValid());
    EXPECT_EQ(entry.added.timeSpec(), Qt::UTC);
    EXPECT_LE(before, entry.added);
    EXPECT_LE(entry.added, after);

    // On disk: compact JSON as UTF-8 text and an ISO 8601 UTC stamp with milliseconds.
    const RawDatabase raw(dbPath());
    const QStringList rows = raw.query("SELECT message, added, attempts FROM messages");
    ASSERT_EQ(rows.size(), 1);
    const QStringList columns = rows.first().split(QLatin1Char('|'));
    ASSERT_EQ(columns.size(), 3);
    EXPECT_EQ(columns[0],
              QString::fromUtf8(QJsonDocument(cyrillicMessage()).toJson(QJsonDocument::Compact)));
    EXPECT_TRUE(QRegularExpression(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$)"))
                    .match(columns[1])
                    .hasMatch())
        << columns[1].toStdString();
    EXPECT_EQ(columns[2], QStringLiteral("0"));
}

TEST_F(DBQueueBrokerTest, FileIsInWalModeWithTheDocumentedColumns)
{
    DBQueueBroker broker(dbPath());
    ASSERT_TRUE(broker.addMessage(QStringLiteral("processing"), cyrillicMessage(), QString()));

    const RawDatabase raw(dbPath());
    EXPECT_EQ(raw.query("PRAGMA journal_mode"), QStringList{QStringLiteral("wal")});
    QStringList columns;
    for (const QString &row : raw.query("PRAGMA table_info(messages)"))
        columns << row.section(QLatin1Char('|'), 1, 2);
    EXPECT_EQ(columns,
              (QStringList{QStringLiteral("id|INTEGER"), QStringLiteral("type|TEXT"),
                           QStringLiteral("message|TEXT"), QStringLiteral("extra|TEXT"),
                           QStringLiteral("added|TEXT"), QStringLiteral("attempts|INTEGER"),
                           QStringLiteral("last_attempt|TEXT")}));
    EXPECT_EQ(raw.query("SELECT name FROM sqlite_sequence"),
              QStringList{QStringLiteral("messages")});
}

TEST_F(DBQueueBrokerTest, ListsMessagesOldestFirst)
{
    DBQueueBroker broker(dbPath());
    QList<qint64> ids;
    for (int i = 0; i < 5; ++i) {
        qint64 id = 0;
        ASSERT_TRUE(broker.addMessage(QStringLiteral("processing"),
                                      QJsonObject{{QStringLiteral("n"), i}}, QString(), &id));
        ids << id;
    }

    const QList<QueuedMessage> pending = broker.pendingMessages();
    ASSERT_EQ(pending.size(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(pending[i].id, ids[i]);
        EXPECT_EQ(pending[i].message.value(QStringLiteral("n")).toInt(-1), i);
        if (i > 0) {
            EXPECT_LT(pending[i - 1].id, pending[i].id);
            EXPECT_LE(pending[i - 1].added, pending[i].added);
        }
    }

    // One at a time in the same order, and a reader may stop early.
    QList<qint64> seen;
    EXPECT_TRUE(broker.readPendingMessages([&seen](const QueuedMessage &message) {
        seen << message.id;
        return seen.size() < 3;
    }));
    EXPECT_EQ(seen, ids.mid(0, 3));

    // A page at a time: after an id, up to another, at most so many.
    EXPECT_EQ(broker.lastMessageId(), ids.last());
    QList<qint64> paged;
    for (const QueuedMessage &message : broker.pendingMessages(ids[0], ids[3], 2))
        paged << message.id;
    EXPECT_EQ(paged, ids.mid(1, 2));
    EXPECT_TRUE(broker.pendingMessages(ids[3], ids[3], 10).isEmpty());
    EXPECT_EQ(broker.pendingCount(ids[1], ids[3]), 2);
    EXPECT_EQ(broker.pendingCount(0, ids.last()), 5);
}

TEST_F(DBQueueBrokerTest, ReadOnlyModeListsButChangesNothing)
{
    qint64 id = 0;
    {
        DBQueueBroker writer(dbPath());
        ASSERT_TRUE(writer.addMessage(QStringLiteral("processing"),
                                      QJsonObject{{QStringLiteral("n"), 1}}, QString(), &id));
    }
    QFile file(dbPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    DBQueueBroker reader(dbPath(), DBQueueBroker::OpenMode::ReadOnly);
    ASSERT_TRUE(reader.isOpen()) << reader.errorString().toStdString();
    EXPECT_EQ(reader.openMode(), DBQueueBroker::OpenMode::ReadOnly);
    const QList<QueuedMessage> pending = reader.pendingMessages();
    ASSERT_EQ(pending.size(), 1);
    EXPECT_EQ(pending.first().id, id);
    // Even as root, whom file modes do not stop, the connection refuses every change.
    EXPECT_FALSE(reader.addMessage(QStringLiteral("processing"), QJsonObject{}, QString()));
    EXPECT_THAT(reader.errorString().toStdString(), testing::HasSubstr("readonly"));
    EXPECT_FALSE(reader.recordAttempt(id));
    EXPECT_FALSE(reader.removeMessage(id));
    EXPECT_EQ(reader.pendingMessages().size(), 1);

    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
}

TEST_F(DBQueueBrokerTest, ReadOnlyModeListsNothingFromADatabaseWithoutTheTable)
{
    QFile empty(dbPath());
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    DBQueueBroker reader(dbPath(), DBQueueBroker::OpenMode::ReadOnly);
    EXPECT_TRUE(reader.pendingMessages().isEmpty());
    EXPECT_TRUE(reader.errorString().isEmpty()) << reader.errorString().toStdString();
    EXPECT_EQ(QFileInfo(dbPath()).size(), 0);
}

TEST_F(DBQueueBrokerTest, ReadOnlyModeDoesNotCreateAMissingDatabase)
{
    DBQueueBroker reader(dbPath(), DBQueueBroker::OpenMode::ReadOnly);
    EXPECT_FALSE(reader.isOpen());
    EXPECT_FALSE(reader.errorString().isEmpty());
    EXPECT_FALSE(QFile::exists(dbPath()));
}

TEST_F(DBQueueBrokerTest, RecordAttemptCountsAndStampsTheMessage)
{
    DBQueueBroker broker(dbPath());
    qint64 first = 0;
    qint64 second = 0;
    ASSERT_TRUE(broker.addMessage(QStringLiteral("processing"),
                                  QJsonObject{{QStringLiteral("n"), 1}}, QString(), &first));
    ASSERT_TRUE(broker.addMessage(QStringLiteral("processing"),
                                  QJsonObject{{QStringLiteral("n"), 2}}, QString(), &second));

    const QDateTime before = QDateTime::currentDateTimeUtc().addMSecs(-1);
    EXPECT_TRUE(broker.recordAttempt(first));
    EXPECT_TRUE(broker.recordAttempt(first));
    const QDateTime after = QDateTime::currentDateTimeUtc();
    EXPECT_FALSE(broker.recordAttempt(second + 1000));

    const QList<QueuedMessage> pending = broker.pendingMessages();
    ASSERT_EQ(pending.size(), 2);
    EXPECT_EQ(pending[0].attempts, 2);
    ASSERT_TRUE(pending[0].lastAttempt.isValid());
    EXPECT_LE(before, pending[0].lastAttempt);
    EXPECT_LE(pending[0].lastAttempt, after);
    EXPECT_EQ(pending[1].attempts, 0);
    EXPECT_FALSE(pending[1].lastAttempt.isValid());
}

TEST_F(DBQueueBrokerTest, RemoveMessageDropsOnlyThatMessage)
{
    DBQueueBroker broker(dbPath());
    QList<qint64> ids;
    for (int i = 0; i < 3; ++i) {
        qint64 id = 0;
        ASSERT_TRUE(broker.addMessage(QStringLiteral("processing"),
                                      QJsonObject{{QStringLiteral("n"), i}}, QString(), &id));
        ids << id;
    }

    EXPECT_TRUE(broker.removeMessage(ids[1]));
    EXPECT_FALSE(broker.removeMessage(ids[1]));

    const QList<QueuedMessage> pending = broker.pendingMessages();
    ASSERT_EQ(pending.size(), 2);
    EXPECT_EQ(pending[0].id, ids[0]);
    EXPECT_EQ(pending[1].id, ids[2]);

    // AUTOINCREMENT: a removed id is never handed out again, so the host cannot confuse a new
    // message with one it already dropped.
    ASSERT_TRUE(broker.removeMessage(ids[2]));
    qint64 next = 0;
    ASSERT_TRUE(broker.addMessage(QStringLiteral("processing"), QJsonObject(), QString(), &next));
    EXPECT_GT(next, ids[2]);
}

TEST_F(DBQueueBrokerTest, SecondBrokerOnTheSameFileSeesTheMessages)
{
    qint64 id = 0;
    {
        DBQueueBroker writer(dbPath());
        ASSERT_TRUE(
            writer.addMessage(QStringLiteral("processing"), cyrillicMessage(), QString(), &id));

        DBQueueBroker reader(dbPath());
        const QList<QueuedMessage> seen = reader.pendingMessages();
        ASSERT_EQ(seen.size(), 1);
        EXPECT_EQ(seen.first().message, cyrillicMessage());

        // Changes made through one connection are seen through the other.
        ASSERT_TRUE(reader.recordAttempt(id));
        ASSERT_EQ(writer.pendingMessages().size(), 1);
        EXPECT_EQ(writer.pendingMessages().first().attempts, 1);
    }

    // Reopened after both were closed.
    DBQueueBroker reopened(dbPath());
    const QList<QueuedMessage> pending = reopened.pendingMessages();
    ASSERT_EQ(pending.size(), 1);
    EXPECT_EQ(pending.first().id, id);
    EXPECT_EQ(pending.first().message, cyrillicMessage());
    EXPECT_EQ(pending.first().attempts, 1);
    EXPECT_TRUE(reopened.removeMessage(id));
    EXPECT_TRUE(reopened.pendingMessages().isEmpty());
}

// The broker keeps its statements between calls; each call must start from clean bindings
// and leave no transaction open behind it.
TEST_F(DBQueueBrokerTest, RepeatedCallsKeepNoValueOrLockOfThePreviousOne)
{
    DBQueueBroker broker(dbPath());
    qint64 first = 0;
    qint64 second = 0;
    ASSERT_TRUE(broker.addMessage(QStringLiteral("refund"), cyrillicMessage(),
                                  QStringLiteral("чек 7"), &first));
    ASSERT_TRUE(broker.addMessage(QStringLiteral("processing"),
                                  QJsonObject{{QStringLiteral("n"), 2}}, QString(), &second));
    EXPECT_TRUE(broker.recordAttempt(second));
    EXPECT_FALSE(broker.recordAttempt(second + 1000));
    EXPECT_TRUE(broker.recordAttempt(first));

    const QList<QueuedMessage> pending = broker.pendingMessages();
    ASSERT_EQ(pending.size(), 2);
    EXPECT_EQ(pending[0].type, QStringLiteral("refund"));
    EXPECT_EQ(pending[0].message, cyrillicMessage());
    EXPECT_EQ(pending[0].extra, QStringLiteral("чек 7"));
    EXPECT_EQ(pending[0].attempts, 1);
    EXPECT_EQ(pending[1].type, QStringLiteral("processing"));
    EXPECT_EQ(pending[1].message, (QJsonObject{{QStringLiteral("n"), 2}}));
    EXPECT_EQ(pending[1].extra, QString());
    EXPECT_EQ(pending[1].attempts, 1);

    // A statement left mid-way would pin the write-ahead log: a truncating checkpoint through
    // another connection would then report itself blocked (its first column 1, not 0).
    const RawDatabase raw(dbPath());
    const auto checkpointBlocked = [&raw] {
        const QStringList rows = raw.query("PRAGMA wal_checkpoint(TRUNCATE)");
        return rows.size() != 1 || !rows.first().startsWith(QLatin1String("0|"));
    };
    EXPECT_FALSE(checkpointBlocked());
    EXPECT_TRUE(broker.removeMessage(first));
    EXPECT_FALSE(broker.removeMessage(first));
    EXPECT_FALSE(checkpointBlocked());
    EXPECT_EQ(raw.query("SELECT id FROM messages"), QStringList{QString::number(second)});
}

TEST_F(DBQueueBrokerTest, QueueThatCouldNotBeOpenedWorksOnceItsPlaceExists)
{
    const QString dir = m_dir.filePath(QStringLiteral("later"));
    DBQueueBroker broker(dir + QStringLiteral("/queue.sqlite"));
    EXPECT_FALSE(broker.isOpen());
    EXPECT_FALSE(broker.addMessage(QStringLiteral("processing"), cyrillicMessage(), QString()));
    EXPECT_FALSE(broker.removeMessage(1));

    ASSERT_TRUE(QDir().mkpath(dir));
    qint64 id = 0;
    ASSERT_TRUE(broker.addMessage(QStringLiteral("processing"), cyrillicMessage(), QString(), &id))
        << broker.errorString().toStdString();
    EXPECT_TRUE(broker.isOpen());
    EXPECT_TRUE(broker.recordAttempt(id));
    ASSERT_EQ(broker.pendingMessages().size(), 1);
    EXPECT_EQ(broker.pendingMessages().first().attempts, 1);
    EXPECT_TRUE(broker.removeMessage(id));
    EXPECT_TRUE(broker.pendingMessages().isEmpty());
}

TEST_F(DBQueueBrokerTest, DefaultConstructorTakesThePathFromTheHostSetting)
{
    Config *const saved = Singleton<Config>::instance;
    Config config;
    const QString configured = m_dir.filePath(QStringLiteral("configured.sqlite"));
    config.setValue(QStringLiteral("Queue:database"), configured);
    Singleton<Config>::instance = &config;
    {
        DBQueueBroker broker;
        EXPECT_EQ(broker.databasePath(), configured);
        EXPECT_TRUE(broker.addMessage(QStringLiteral("processing"), cyrillicMessage(), QString()));
    }
    Singleton<Config>::instance = saved;
    EXPECT_TRUE(QFile::exists(configured));
}

TEST_F(DBQueueBrokerTest, DefaultConstructorFallsBackToTheWorkingDirectory)
{
    Config *const saved = Singleton<Config>::instance;
    Config empty; // present, but without the setting
    const QString savedDirectory = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(m_dir.path()));
    for (Config *config : {static_cast<Config *>(nullptr), &empty}) {
        Singleton<Config>::instance = config;
        DBQueueBroker broker;
        EXPECT_EQ(broker.databasePath(),
                  QDir(m_dir.path()).absoluteFilePath(QStringLiteral("queue.sqlite")));
        EXPECT_TRUE(broker.isOpen()) << broker.errorString().toStdString();
    }
    Singleton<Config>::instance = saved;
    QDir::setCurrent(savedDirectory);
    EXPECT_TRUE(QFile::exists(dbPath()));
}

TEST_F(DBQueueBrokerTest, ConcurrentWritersFromManyThreadsLoseNothing)
{
    DBQueueBroker broker(dbPath());
    const int threads = 4;
    const int perThread = 20;
    std::vector<std::vector<qint64>> ids(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&broker, &ids, t] {
            for (int i = 0; i < perThread; ++i) {
                qint64 id = 0;
                if (broker.addMessage(
                        QStringLiteral("processing"),
                        QJsonObject{{QStringLiteral("thread"), t}, {QStringLiteral("n"), i}},
                        QString(), &id))
                    ids[t].push_back(id);
            }
        });
    }
    for (std::thread &worker : workers)
        worker.join();

    QSet<qint64> reported;
    for (const auto &list : ids) {
        EXPECT_EQ(int(list.size()), perThread);
        for (qint64 id : list)
            reported.insert(id);
    }
    EXPECT_EQ(reported.size(), threads * perThread);
    const QList<QueuedMessage> pending = broker.pendingMessages();
    EXPECT_EQ(pending.size(), threads * perThread);
    for (const QueuedMessage &entry : pending)
        EXPECT_TRUE(reported.contains(entry.id));
}

// --- places that cannot hold a database ---

enum class BadPlace { ParentIsAFile, ParentMissing, PathIsADirectory, NotADatabase };

std::string badPlaceName(const ::testing::TestParamInfo<BadPlace> &caseInfo)
{
    switch (caseInfo.param) {
    case BadPlace::ParentIsAFile:
        return "ParentIsAFile";
    case BadPlace::ParentMissing:
        return "ParentMissing";
    case BadPlace::PathIsADirectory:
        return "PathIsADirectory";
    case BadPlace::NotADatabase:
        return "NotADatabase";
    }
    return "Unknown";
}

class DBQueueBrokerBadPathTest : public ::testing::TestWithParam<BadPlace>
{
protected:
    QTemporaryDir m_dir;
};

TEST_P(DBQueueBrokerBadPathTest, FailsSoftlyWithAReason)
{
    ASSERT_TRUE(m_dir.isValid());
    QString path;
    const QByteArray garbage(4096, '\x5a');
    switch (GetParam()) {
    case BadPlace::ParentIsAFile: {
        // Works even for root, which ignores permission bits.
        QFile file(m_dir.filePath(QStringLiteral("plain.txt")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        path = file.fileName() + QStringLiteral("/queue.sqlite");
        break;
    }
    case BadPlace::ParentMissing:
        path = m_dir.filePath(QStringLiteral("no/such/dir/queue.sqlite"));
        break;
    case BadPlace::PathIsADirectory:
        path = m_dir.filePath(QStringLiteral("adir"));
        ASSERT_TRUE(QDir().mkpath(path));
        break;
    case BadPlace::NotADatabase: {
        path = m_dir.filePath(QStringLiteral("garbage.sqlite"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(garbage), garbage.size());
        break;
    }
    }

    DBQueueBroker broker(path);
    EXPECT_FALSE(broker.isOpen());
    EXPECT_FALSE(broker.errorString().isEmpty());
    EXPECT_FALSE(broker.addMessage(QStringLiteral("processing"), cyrillicMessage(), QString()));
    EXPECT_FALSE(broker.errorString().isEmpty());
    EXPECT_TRUE(broker.pendingMessages().isEmpty());
    EXPECT_FALSE(broker.recordAttempt(1));
    EXPECT_FALSE(broker.removeMessage(1));
    EXPECT_FALSE(broker.isOpen());

    if (GetParam() == BadPlace::NotADatabase) {
        // Someone else's file is left as it was.
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), garbage);
    }
}

INSTANTIATE_TEST_SUITE_P(Places, DBQueueBrokerBadPathTest,
                         ::testing::Values(BadPlace::ParentIsAFile, BadPlace::ParentMissing,
                                           BadPlace::PathIsADirectory, BadPlace::NotADatabase),
                         badPlaceName);

// --- the check that lets a listing write a stored message as it is ---

struct CompactCase
{
    const char *name;
    std::string text;
    bool taken;
};

class CompactJsonTest : public ::testing::TestWithParam<CompactCase>
{
};

TEST_P(CompactJsonTest, TakesOnlyOneLineOfJsonOfAnObject)
{
    const CompactCase &row = GetParam();
    EXPECT_EQ(CompactJson::isObject(row.text.data(), row.text.size()), row.taken) << row.text;
    // A check that read past the text's end would take its prefix by what follows it.
    if (row.taken) {
        EXPECT_FALSE(CompactJson::isObject(row.text.data(), row.text.size() - 1)) << row.text;
    }
}

std::string nested(int depth)
{
    return "{\"a\":" + std::string(size_t(depth - 1), '[') + std::string(size_t(depth - 1), ']') +
           "}";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CompactJsonTest,
    ::testing::Values(
        CompactCase{"Empty", "{}", true},
        CompactCase{"EveryKindOfValue",
                    "{\"s\":\"x\",\"n\":-0.5e+3,\"i\":0,\"t\":true,\"f\":false,\"z\":null,"
                    "\"a\":[1,[],{}],\"o\":{\"k\":[\"v\"]}}",
                    true},
        // Long enough for the many-bytes-at-a-time scan, the quote in its middle.
        CompactCase{"EscapesInALongString",
                    "{\"k\":\"0123456789abcdef\\\"\\\\\\/\\b\\f\\n\\r\\t\\u00e9\\uD83D\\ude00"
                    "0123456789abcdef\"}",
                    true},
        CompactCase{"Utf8OfEveryLength",
                    "{\"k\":\"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80 0123456789abcdef\"}", true},
        CompactCase{"NestedAsDeepAsAllowed", nested(CompactJson::MaxDepth), true},
        CompactCase{"NestedTooDeep", nested(CompactJson::MaxDepth + 1), false},
        CompactCase{"NoText", "", false}, CompactCase{"AnArray", "[1]", false},
        CompactCase{"AString", "\"{}\"", false}, CompactCase{"WhiteSpace", "{\"a\": 1}", false},
        CompactCase{"LineBreakAfter", "{}\n", false},
        CompactCase{"LineBreakInAString", "{\"a\":\"0123456789abcdef\n\"}", false},
        CompactCase{"TabInAString", "{\"a\":\"x\ty\"}", false},
        CompactCase{"SecondValue", "{}{}", false},
        CompactCase{"TrailingComma", "{\"a\":[1,],\"b\":2}", false},
        CompactCase{"KeyWithoutValue", "{\"a\"}", false},
        CompactCase{"KeyNotAString", "{a:1}", false},
        CompactCase{"ClosedByTheWrongBracket", "{\"a\":[1}]", false},
        CompactCase{"LeadingZero", "{\"a\":01}", false},
        CompactCase{"BareFraction", "{\"a\":1.}", false},
        CompactCase{"BadEscape", "{\"a\":\"\\x\"}", false},
        CompactCase{"ShortUnicodeEscape", "{\"a\":\"\\u12\"}", false},
        CompactCase{"OverlongUtf8", "{\"a\":\"\xc0\xaf\"}", false},
        CompactCase{"Utf8Surrogate", "{\"a\":\"\xed\xa0\x80\"}", false},
        CompactCase{"Utf8AboveUnicode", "{\"a\":\"\xf4\x90\x80\x80\"}", false},
        CompactCase{"Utf8CutShort", "{\"a\":\"\xe2\x82\"}", false},
        CompactCase{"Latin1", "{\"a\":\"caf\xe9 0123456789abcdef\"}", false},
        CompactCase{"NulByte", std::string("{\"a\":\"\0\"}", 8), false}),
    [](const ::testing::TestParamInfo<CompactCase> &caseInfo) {
        return std::string(caseInfo.param.name);
    });

// --- crashes of a writing process ---

QString writerPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/queuewriter");
}

// What a writer said it stored: id -> the message it passed.
using Reported = QMap<qint64, QJsonObject>;

// Takes the complete lines only: the kill may cut the last one short, and a message whose line
// was not finished was simply not reported.
void parseReport(const QByteArray &output, Reported *reported)
{
    const QList<QByteArray> lines = output.split('\n');
    for (int i = 0; i + 1 < lines.size(); ++i) {
        const int tab = lines[i].indexOf('\t');
        ASSERT_GT(tab, 0) << lines[i].constData();
        bool ok = false;
        const qint64 id = lines[i].left(tab).toLongLong(&ok);
        ASSERT_TRUE(ok) << lines[i].constData();
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(lines[i].mid(tab + 1), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << lines[i].constData();
        ASSERT_FALSE(reported->contains(id)) << "id reported twice: " << id;
        reported->insert(id, document.object());
    }
}

void expectIntactAndComplete(const QString &path, const Reported &reported)
{
    // A writer killed before it created the file has stored nothing.
    if (!QFile::exists(path)) {
        EXPECT_TRUE(reported.isEmpty());
        return;
    }
    {
        const RawDatabase raw(path);
        EXPECT_EQ(raw.query("PRAGMA integrity_check"), QStringList{QStringLiteral("ok")});
    }
    DBQueueBroker broker(path);
    ASSERT_TRUE(broker.isOpen()) << broker.errorString().toStdString();
    QMap<qint64, QueuedMessage> stored;
    for (const QueuedMessage &entry : broker.pendingMessages()) {
        // Whatever is there at all is whole: a message cut short would not parse.
        EXPECT_TRUE(entry.message.contains(QStringLiteral("seq"))) << entry.id;
        stored.insert(entry.id, entry);
    }
    for (auto it = reported.cbegin(); it != reported.cend(); ++it) {
        ASSERT_TRUE(stored.contains(it.key())) << "lost message " << it.key();
        const QueuedMessage &entry = stored[it.key()];
        EXPECT_EQ(entry.type, QStringLiteral("processing"));
        EXPECT_EQ(entry.extra, QStringLiteral("w"));
        EXPECT_EQ(entry.message, it.value()) << "message " << it.key() << " changed";
    }
}

TEST_F(DBQueueBrokerTest, MessagesSurviveAWriterKilledAtRandomMoments)
{
    ASSERT_TRUE(QFile::exists(writerPath())) << writerPath().toStdString();
    std::random_device seeder;
    const unsigned seed = seeder();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> delayMs(3, 200);

    Reported reported;
    const int rounds = 10;
    for (int round = 0; round < rounds; ++round) {
        const int delay = delayMs(random);
        // Even rounds count the delay from the start, so some kills land while the file is
        // being opened or created; odd rounds from the first stored message, so that they land
        // among the commits.
        const bool fromFirstMessage = round % 2 == 1;
        SCOPED_TRACE("round " + std::to_string(round) + ", delay " + std::to_string(delay) +
                     (fromFirstMessage ? " ms after the first message" : " ms after start"));

        QProcess writer;
        writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        writer.start(writerPath(), {dbPath()});
        ASSERT_TRUE(writer.waitForStarted(10000));

        QByteArray output;
        if (fromFirstMessage) {
            QElapsedTimer waited;
            waited.start();
            while (!output.contains('\n') && waited.elapsed() < 20000 &&
                   writer.state() == QProcess::Running) {
                writer.waitForReadyRead(1000);
                output += writer.readAllStandardOutput();
            }
            ASSERT_TRUE(output.contains('\n')) << "the writer stored nothing";
        }
        QElapsedTimer clock;
        clock.start();
        // Reading while waiting keeps the pipe from filling and stalling the writer.
        while (clock.elapsed() < delay && writer.state() == QProcess::Running) {
            writer.waitForReadyRead(int(qMax<qint64>(1, delay - clock.elapsed())));
            output += writer.readAllStandardOutput();
        }
        ASSERT_EQ(writer.state(), QProcess::Running) << "the writer ended before the kill";
        ASSERT_EQ(::kill(pid_t(writer.processId()), SIGKILL), 0);
        ASSERT_TRUE(writer.waitForFinished(10000));
        EXPECT_EQ(writer.exitStatus(), QProcess::CrashExit);
        output += writer.readAllStandardOutput();

        parseReport(output, &reported);
        expectIntactAndComplete(dbPath(), reported);
        if (HasFatalFailure())
            return;
    }
    EXPECT_GT(reported.size(), 0);

    // And the file still takes new messages after all that.
    DBQueueBroker broker(dbPath());
    EXPECT_TRUE(broker.addMessage(QStringLiteral("processing"), cyrillicMessage(), QString()));
}

TEST_F(DBQueueBrokerTest, TwoWriterProcessesShareTheFile)
{
    ASSERT_TRUE(QFile::exists(writerPath())) << writerPath().toStdString();
    QProcess first;
    QProcess second;
    QByteArray outputs[2];
    QProcess *writers[2] = {&first, &second};
    for (QProcess *writer : writers) {
        writer->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        writer->start(writerPath(), {dbPath()});
        ASSERT_TRUE(writer->waitForStarted(10000));
    }
    // Until each has stored a good number of messages while the other was writing too.
    const int wanted = 30;
    QElapsedTimer clock;
    clock.start();
    while ((outputs[0].count('\n') < wanted || outputs[1].count('\n') < wanted) &&
           clock.elapsed() < 30000) {
        for (int i = 0; i < 2; ++i) {
            writers[i]->waitForReadyRead(20);
            outputs[i] += writers[i]->readAllStandardOutput();
        }
    }
    for (int i = 0; i < 2; ++i) {
        // SQLite lets a writer wait while the other commits, and a busy machine can keep one
        // waiting until the other has stored all it had and ended. One still writing is
        // killed in the middle of whatever it does.
        if (writers[i]->state() == QProcess::Running) {
            ASSERT_EQ(::kill(pid_t(writers[i]->processId()), SIGKILL), 0);
        }
        ASSERT_TRUE(writers[i]->waitForFinished(10000));
        outputs[i] += writers[i]->readAllStandardOutput();
        EXPECT_GE(outputs[i].count('\n'), wanted) << "writer " << i;
    }

    Reported reported;
    parseReport(outputs[0], &reported);
    parseReport(outputs[1], &reported); // fails on an id handed to both
    expectIntactAndComplete(dbPath(), reported);
}

// --- a queue file moved while a till holds it open ---

// What happens to the queue's file between a till opening it and queueing a message, the way an
// administrator clears a queue.
enum class Move { RenamedAsideFreshMadeByAnotherTill, RenamedAsideWithItsLog, Removed };

struct MoveCase
{
    const char *name;
    Move move;
};

void PrintTo(const MoveCase &moveCase, std::ostream *out)
{
    *out << moveCase.name;
}

class DBQueueBrokerMovedTest : public ::testing::TestWithParam<MoveCase>
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString path(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

    QTemporaryDir m_dir;
};

TEST_P(DBQueueBrokerMovedTest, MessageIsStoredInTheFileThePathNamesNow)
{
    const QString queue = path("queue.sqlite");
    const QString aside = path("queue.sqlite.old");
    // Messages stored earlier, by a till long gone; their ids must not come again.
    qint64 earlier = 0;
    {
        DBQueueBroker before(queue);
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(before.addMessage(QStringLiteral("processing"),
                                          QJsonObject{{QStringLiteral("orderId"), i}}, QString(),
                                          &earlier));
    }

    // The sale's till opened the queue when it started.
    DBQueueBroker till(queue);
    ASSERT_TRUE(till.isOpen());

    switch (GetParam().move) {
    case Move::RenamedAsideFreshMadeByAnotherTill: {
        ASSERT_TRUE(QFile::rename(queue, aside));
        QProcess other;
        other.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        other.start(writerPath(), {queue, QStringLiteral("1")});
        ASSERT_TRUE(other.waitForFinished(30000));
        ASSERT_EQ(other.exitCode(), 0);
        ASSERT_EQ(other.readAllStandardOutput().count('\n'), 1);
        break;
    }
    case Move::RenamedAsideWithItsLog:
        for (const char *suffix : {"", "-wal", "-shm"}) {
            if (QFile::exists(queue + QLatin1String(suffix))) {
                ASSERT_TRUE(
                    QFile::rename(queue + QLatin1String(suffix), aside + QLatin1String(suffix)));
            }
        }
        break;
    case Move::Removed:
        ASSERT_TRUE(QFile::remove(queue));
        break;
    }

    const QJsonObject cancellation{{QStringLiteral("orderId"), QStringLiteral("отмена-1")}};
    qint64 id = 0;
    ASSERT_TRUE(till.addMessage(QStringLiteral("processing"), cancellation, QString(), &id))
        << till.errorString().toStdString();
    EXPECT_GT(id, earlier) << "an id of the file left would name another message here";

    // The next replay reads the file at the path: the message is there, under its id.
    const QStringList atPath =
        RawDatabase(queue).query("SELECT id, message FROM messages WHERE message LIKE "
                                 "'%отмена-1%'");
    EXPECT_EQ(atPath, QStringList{QStringLiteral("%1|%2").arg(id).arg(QString::fromUtf8(
                          QJsonDocument(cancellation).toJson(QJsonDocument::Compact)))});
    QStringList seen;
    for (const QueuedMessage &message : till.pendingMessages())
        seen << message.message.value(QStringLiteral("orderId")).toVariant().toString();
    EXPECT_TRUE(seen.contains(QStringLiteral("отмена-1")))
        << seen.join(QLatin1Char(',')).toStdString();
    if (GetParam().move != Move::Removed) {
        // The file set aside keeps what it had and gets no copy.
        EXPECT_EQ(RawDatabase(aside).query("SELECT count(*) FROM messages WHERE message LIKE "
                                           "'%отмена-1%'"),
                  QStringList{QStringLiteral("0")});
        EXPECT_EQ(RawDatabase(aside).query("SELECT count(*) FROM messages"),
                  QStringList{QStringLiteral("3")});
    }
    // Messages after it go on to the same file.
    ASSERT_TRUE(till.addMessage(
        QStringLiteral("processing"),
        QJsonObject{{QStringLiteral("orderId"), QStringLiteral("отмена-2")}}, QString()));
    EXPECT_EQ(RawDatabase(queue).query("SELECT count(*) FROM messages WHERE message LIKE "
                                       "'%отмена-%'"),
              QStringList{QStringLiteral("2")});
}

INSTANTIATE_TEST_SUITE_P(Moves, DBQueueBrokerMovedTest,
                         ::testing::Values(MoveCase{"RenamedAsideFreshMadeByAnotherTill",
                                                    Move::RenamedAsideFreshMadeByAnotherTill},
                                           MoveCase{"RenamedAsideWithItsLog",
                                                    Move::RenamedAsideWithItsLog},
                                           MoveCase{"Removed", Move::Removed}),
                         [](const ::testing::TestParamInfo<MoveCase> &caseInfo) {
                             return std::string(caseInfo.param.name);
                         });

} // namespace
