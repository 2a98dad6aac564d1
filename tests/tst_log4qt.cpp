#include "log4qt/level.h"
#include "log4qt/listappender.h"
#include "log4qt/logger.h"
#include "log4qt/logmanager.h"

#include <QDateTime>

#include <gtest/gtest.h>
#include <ostream>

#include <functional>
#include <thread>
#include <vector>

using Log4Qt::Level;
using Log4Qt::ListAppender;
using Log4Qt::Logger;
using Log4Qt::LogManager;

// Failure messages show Qt strings as text rather than as arrays of characters.
static void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

// Loggers live for the whole process; every test leaves them as it found them.
class Log4QtTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        for (Logger *logger : m_touched) {
            logger->removeAppender(&m_appender);
            logger->removeAppender(&m_rootAppender);
            logger->setLevel(Level::NULL_INT);
        }
        LogManager::rootLogger()->removeAppender(&m_rootAppender);
        LogManager::rootLogger()->setLevel(Level::NULL_INT);
    }

    Logger *logger(const QString &name)
    {
        Logger *result = LogManager::logger(name);
        m_touched.append(result);
        return result;
    }

    ListAppender m_appender;
    ListAppender m_rootAppender;
    QList<Logger *> m_touched;
};

TEST_F(Log4QtTest, SameNameGivesTheSameLogger)
{
    Logger *first = LogManager::logger(QStringLiteral("velmor"));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, LogManager::logger(QStringLiteral("velmor")));
    EXPECT_EQ(first, LogManager::logger(QStringLiteral("velmor"), QStringLiteral("repo")));
    EXPECT_EQ(first->name(), QStringLiteral("velmor"));

    Logger *other = LogManager::logger(QStringLiteral("velmor.queue"), QStringLiteral("repo"));
    EXPECT_NE(first, other);
    EXPECT_EQ(other->name(), QStringLiteral("velmor.queue"));
    EXPECT_EQ(LogManager::rootLogger(), LogManager::rootLogger());
}

struct LevelCase
{
    const char *name;
    Level::Value value;
    int number;
};

class LevelTest : public ::testing::TestWithParam<LevelCase>
{
};

TEST_P(LevelTest, HasTheHostsNumberAndName)
{
    const Level level(GetParam().value);
    EXPECT_EQ(level.toInt(), GetParam().number);
    EXPECT_EQ(level.toString(), QString::fromLatin1(GetParam().name));
}

INSTANTIATE_TEST_SUITE_P(Levels, LevelTest,
                         ::testing::Values(LevelCase{"NULL", Level::NULL_INT, 0},
                                           LevelCase{"ALL", Level::ALL_INT, 32},
                                           LevelCase{"TRACE", Level::TRACE_INT, 64},
                                           LevelCase{"DEBUG", Level::DEBUG_INT, 96},
                                           LevelCase{"INFO", Level::INFO_INT, 128},
                                           LevelCase{"WARN", Level::WARN_INT, 150},
                                           LevelCase{"ERROR", Level::ERROR_INT, 182},
                                           LevelCase{"FATAL", Level::FATAL_INT, 214},
                                           LevelCase{"OFF", Level::OFF_INT, 255}),
                         [](const ::testing::TestParamInfo<LevelCase> &caseInfo) {
                             return std::string(caseInfo.param.name);
                         });

TEST(LevelOrderTest, LevelsCompareByNumber)
{
    EXPECT_LT(Level(Level::DEBUG_INT), Level(Level::INFO_INT));
    EXPECT_GT(Level(Level::ERROR_INT), Level(Level::WARN_INT));
    EXPECT_LE(Level(Level::WARN_INT), Level(Level::WARN_INT));
    EXPECT_EQ(Level(), Level(Level::NULL_INT));
}

struct CallCase
{
    const char *name;
    std::function<void(const Logger *, const QString &)> call;
    Level::Value level;
};

class Log4QtCallTest : public Log4QtTest, public ::testing::WithParamInterface<CallCase>
{
};

TEST_P(Log4QtCallTest, LineReachesTheLoggersAndTheRootsAppenders)
{
    Logger *velmor = logger(QStringLiteral("velmor.calls"));
    velmor->addAppender(&m_appender);
    LogManager::rootLogger()->addAppender(&m_rootAppender);

    const QDateTime before = QDateTime::currentDateTime().addMSecs(-1);
    GetParam().call(velmor, QStringLiteral("Отмена заказа через очередь"));

    for (const ListAppender *appender : {&m_appender, &m_rootAppender}) {
        const auto events = appender->list();
        ASSERT_EQ(events.size(), 1);
        EXPECT_EQ(events.first().loggerName, QStringLiteral("velmor.calls"));
        EXPECT_EQ(events.first().level, Level(GetParam().level));
        EXPECT_EQ(events.first().message, QStringLiteral("Отмена заказа через очередь"));
        EXPECT_LE(before, events.first().timeStamp);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Calls, Log4QtCallTest,
    ::testing::Values(
        CallCase{"debug", [](const Logger *l, const QString &m) { l->debug(m); }, Level::DEBUG_INT},
        CallCase{"info", [](const Logger *l, const QString &m) { l->info(m); }, Level::INFO_INT},
        CallCase{"warn", [](const Logger *l, const QString &m) { l->warn(m); }, Level::WARN_INT},
        CallCase{"error", [](const Logger *l, const QString &m) { l->error(m); }, Level::ERROR_INT},
        CallCase{"fatal", [](const Logger *l, const QString &m) { l->fatal(m); }, Level::FATAL_INT},
        CallCase{"log", [](const Logger *l, const QString &m) { l->log(Level::TRACE_INT, m); },
                 Level::TRACE_INT}),
    [](const ::testing::TestParamInfo<CallCase> &caseInfo) {
        return std::string(caseInfo.param.name);
    });

TEST_F(Log4QtTest, LinesKeepTheirOrderAndTheirLoggersName)
{
    Logger *first = logger(QStringLiteral("velmor.first"));
    Logger *second = logger(QStringLiteral("velmor.second"));
    LogManager::rootLogger()->addAppender(&m_rootAppender);

    first->info(QStringLiteral("один"));
    second->warn(QStringLiteral("два"));
    first->error(QStringLiteral("три"));

    const auto events = m_rootAppender.list();
    ASSERT_EQ(events.size(), 3);
    EXPECT_EQ(events[0].loggerName, QStringLiteral("velmor.first"));
    EXPECT_EQ(events[0].message, QStringLiteral("один"));
    EXPECT_EQ(events[1].loggerName, QStringLiteral("velmor.second"));
    EXPECT_EQ(events[1].level, Level(Level::WARN_INT));
    EXPECT_EQ(events[2].message, QStringLiteral("три"));

    m_rootAppender.clearList();
    EXPECT_TRUE(m_rootAppender.list().isEmpty());
}

TEST_F(Log4QtTest, AppenderAddedTwiceGetsEachLineOnce)
{
    Logger *velmor = logger(QStringLiteral("velmor.twice"));
    velmor->addAppender(&m_appender);
    velmor->addAppender(&m_appender);
    velmor->info(QStringLiteral("x"));
    EXPECT_EQ(m_appender.list().size(), 1);

    velmor->removeAppender(&m_appender);
    velmor->info(QStringLiteral("y"));
    EXPECT_EQ(m_appender.list().size(), 1);
}

TEST_F(Log4QtTest, OtherLoggersLinesDoNotReachALoggersOwnAppender)
{
    logger(QStringLiteral("velmor.own"))->addAppender(&m_appender);
    logger(QStringLiteral("velmor.stranger"))->info(QStringLiteral("чужое"));
    EXPECT_TRUE(m_appender.list().isEmpty());
}

TEST_F(Log4QtTest, LoggerLevelFiltersLowerLines)
{
    Logger *velmor = logger(QStringLiteral("velmor.filtered"));
    velmor->addAppender(&m_appender);
    velmor->setLevel(Level::WARN_INT);
    EXPECT_EQ(velmor->level(), Level(Level::WARN_INT));
    EXPECT_FALSE(velmor->isEnabledFor(Level::INFO_INT));
    EXPECT_TRUE(velmor->isEnabledFor(Level::WARN_INT));

    velmor->debug(QStringLiteral("d"));
    velmor->info(QStringLiteral("i"));
    velmor->warn(QStringLiteral("w"));
    velmor->error(QStringLiteral("e"));

    const auto events = m_appender.list();
    ASSERT_EQ(events.size(), 2);
    EXPECT_EQ(events[0].message, QStringLiteral("w"));
    EXPECT_EQ(events[1].message, QStringLiteral("e"));
}

TEST_F(Log4QtTest, OffSilencesEverything)
{
    Logger *velmor = logger(QStringLiteral("velmor.off"));
    velmor->addAppender(&m_appender);
    velmor->setLevel(Level::OFF_INT);
    velmor->fatal(QStringLiteral("f"));
    velmor->error(QStringLiteral("e"));
    EXPECT_TRUE(m_appender.list().isEmpty());
}

TEST_F(Log4QtTest, LoggerWithoutALevelFollowsTheRoot)
{
    Logger *velmor = logger(QStringLiteral("velmor.inherits"));
    velmor->addAppender(&m_appender);
    LogManager::rootLogger()->setLevel(Level::ERROR_INT);
    velmor->warn(QStringLiteral("w"));
    velmor->error(QStringLiteral("e"));
    ASSERT_EQ(m_appender.list().size(), 1);
    EXPECT_EQ(m_appender.list().first().message, QStringLiteral("e"));

    // A level of its own wins over the root's.
    m_appender.clearList();
    velmor->setLevel(Level::DEBUG_INT);
    velmor->debug(QStringLiteral("d"));
    EXPECT_EQ(m_appender.list().size(), 1);
}

struct WouldLogCase
{
    const char *name;
    bool ownAppender;
    bool rootAppender;
    Level::Value loggerLevel;
    Level::Value rootLevel;
    Level::Value asked;
    bool expected;
};

class Log4QtWouldLogTest : public Log4QtTest, public ::testing::WithParamInterface<WouldLogCase>
{
};

// wouldLog must agree with what log() delivers, so that a caller who skips a line on its
// word never loses one an appender would have received.
TEST_P(Log4QtWouldLogTest, AgreesWithWhatReachesTheAppenders)
{
    const WouldLogCase &param = GetParam();
    Logger *velmor = logger(QStringLiteral("velmor.would"));
    if (param.ownAppender)
        velmor->addAppender(&m_appender);
    if (param.rootAppender)
        LogManager::rootLogger()->addAppender(&m_rootAppender);
    velmor->setLevel(param.loggerLevel);
    LogManager::rootLogger()->setLevel(param.rootLevel);

    EXPECT_EQ(velmor->wouldLog(param.asked), param.expected);
    velmor->log(param.asked, QStringLiteral("строка"));
    const int delivered = m_appender.list().size() + m_rootAppender.list().size();
    EXPECT_EQ(delivered > 0, param.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Log4QtWouldLogTest,
    ::testing::Values(WouldLogCase{"noAppenderAnywhere", false, false, Level::NULL_INT,
                                   Level::NULL_INT, Level::FATAL_INT, false},
                      WouldLogCase{"ownAppender", true, false, Level::NULL_INT, Level::NULL_INT,
                                   Level::DEBUG_INT, true},
                      WouldLogCase{"rootAppenderOnly", false, true, Level::NULL_INT,
                                   Level::NULL_INT, Level::DEBUG_INT, true},
                      WouldLogCase{"belowOwnLevel", true, true, Level::WARN_INT, Level::NULL_INT,
                                   Level::INFO_INT, false},
                      WouldLogCase{"atOwnLevel", true, false, Level::WARN_INT, Level::NULL_INT,
                                   Level::WARN_INT, true},
                      WouldLogCase{"belowRootsLevel", false, true, Level::NULL_INT,
                                   Level::ERROR_INT, Level::DEBUG_INT, false},
                      WouldLogCase{"ownLevelWinsOverRoots", false, true, Level::DEBUG_INT,
                                   Level::ERROR_INT, Level::DEBUG_INT, true},
                      WouldLogCase{"off", true, true, Level::OFF_INT, Level::NULL_INT,
                                   Level::FATAL_INT, false}),
    [](const ::testing::TestParamInfo<WouldLogCase> &caseInfo) {
        return std::string(caseInfo.param.name);
    });

TEST_F(Log4QtTest, RootLoggerWouldLogOnlyWithAnAppender)
{
    Logger *root = LogManager::rootLogger();
    EXPECT_FALSE(root->wouldLog(Level::ERROR_INT));
    root->addAppender(&m_rootAppender);
    EXPECT_TRUE(root->wouldLog(Level::ERROR_INT));
    root->error(QStringLiteral("e"));
    EXPECT_EQ(m_rootAppender.list().size(), 1);
}

TEST_F(Log4QtTest, LinesFromManyThreadsAllArrive)
{
    Logger *velmor = logger(QStringLiteral("velmor.threads"));
    velmor->addAppender(&m_appender);
    const int threads = 4;
    const int perThread = 200;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([velmor, t] {
            for (int i = 0; i < perThread; ++i)
                velmor->info(QStringLiteral("%1:%2").arg(t).arg(i));
        });
    }
    for (std::thread &worker : workers)
        worker.join();
    EXPECT_EQ(m_appender.list().size(), threads * perThread);
}

} // namespace
