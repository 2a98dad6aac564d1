#include "config.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <ostream>

// Failure messages show Qt strings as text rather than as arrays of characters.
static void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

class ConfigTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    // Written as raw UTF-8 bytes, the way an editor on the till would save it.
    QString writeIni(const QString &name, const QByteArray &content)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        EXPECT_EQ(file.write(content), content.size());
        return path;
    }

    QTemporaryDir m_dir;
    Config m_config;
};

const QByteArray kMain = "[Velmor]\n"
                         "url=https://velmor.test:8443/api\n"
                         "timeout=30\n"
                         "bad=12abc\n"
                         "spaced= 7 \n"
                         "empty=\n"
                         "comment=\"Отмена заказа через очередь\"\n"
                         "shop=Магазин «Ромашка»\n"
                         "list=\"первый, второй, третий\"\n"
                         "[Queue]\n"
                         "database=/var/lib/till/queue.sqlite\n";

TEST_F(ConfigTest, SectionColonNameReadsTheNameInThatSection)
{
    m_config.loadFile(writeIni(QStringLiteral("main.ini"), kMain));
    EXPECT_EQ(m_config.getString(QStringLiteral("Velmor:url")),
              QStringLiteral("https://velmor.test:8443/api"));
    EXPECT_EQ(m_config.getString(QStringLiteral("Queue:database")),
              QStringLiteral("/var/lib/till/queue.sqlite"));
    EXPECT_EQ(m_config.getInt(QStringLiteral("Velmor:timeout"), 5), 30);
    // The name alone, or under the other section, is another key.
    EXPECT_EQ(m_config.getString(QStringLiteral("url")), QString());
    EXPECT_EQ(m_config.getString(QStringLiteral("Queue:url")), QString());
}

TEST_F(ConfigTest, CyrillicValuesAreReadAsUtf8)
{
    m_config.loadFile(writeIni(QStringLiteral("main.ini"), kMain));
    EXPECT_EQ(m_config.getString(QStringLiteral("Velmor:comment")),
              QStringLiteral("Отмена заказа через очередь"));
    EXPECT_EQ(m_config.getString(QStringLiteral("Velmor:shop")),
              QStringLiteral("Магазин «Ромашка»"));
}

TEST_F(ConfigTest, QuotedValueWithCommasSurvivesWhole)
{
    m_config.loadFile(writeIni(QStringLiteral("main.ini"), kMain));
    EXPECT_EQ(m_config.getString(QStringLiteral("Velmor:list")),
              QStringLiteral("первый, второй, третий"));
}

TEST_F(ConfigTest, AbsentKeysGiveEmptyTextOrTheDefault)
{
    m_config.loadFile(writeIni(QStringLiteral("main.ini"), kMain));
    const QString absent = m_config.getString(QStringLiteral("Velmor:nothing"));
    EXPECT_TRUE(absent.isEmpty());
    EXPECT_FALSE(absent.isNull()); // callers may append to it
    EXPECT_EQ(m_config.getString(QStringLiteral("Velmor:nothing"), QStringLiteral("запасной")),
              QStringLiteral("запасной"));
    EXPECT_EQ(m_config.getInt(QStringLiteral("Velmor:nothing"), 17), 17);
    EXPECT_EQ(m_config.getInt(QStringLiteral("Nowhere:timeout"), -3), -3);
}

TEST_F(ConfigTest, PresentButEmptyValueIsNotReplacedByTheDefault)
{
    m_config.loadFile(writeIni(QStringLiteral("main.ini"), kMain));
    EXPECT_EQ(m_config.getString(QStringLiteral("Velmor:empty"), QStringLiteral("запасной")),
              QString());
}

struct IntCase
{
    const char *key;
    int expected;
};

class ConfigIntTest : public ConfigTest, public ::testing::WithParamInterface<IntCase>
{
};

TEST_P(ConfigIntTest, ReadsNumbersAndFallsBackOnAnythingElse)
{
    m_config.loadFile(writeIni(QStringLiteral("main.ini"), kMain));
    EXPECT_EQ(m_config.getInt(QString::fromLatin1(GetParam().key), 99), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ConfigIntTest,
    ::testing::Values(IntCase{"Velmor:timeout", 30}, IntCase{"Velmor:spaced", 7},
                      IntCase{"Velmor:bad", 99}, IntCase{"Velmor:url", 99},
                      IntCase{"Velmor:empty", 99}, IntCase{"Velmor:shop", 99}),
    [](const ::testing::TestParamInfo<IntCase> &caseInfo) {
        return QString::fromLatin1(caseInfo.param.key).section(QLatin1Char(':'), 1).toStdString();
    });

// Secrets and URLs come back exactly as the file holds them.
struct LiteralCase
{
    const char *name;
    QByteArray line;
    QString expected;
};

class ConfigLiteralTest : public ConfigTest, public ::testing::WithParamInterface<LiteralCase>
{
};

TEST_P(ConfigLiteralTest, ValueComesBackAsWritten)
{
    m_config.loadFile(
        writeIni(QStringLiteral("main.ini"), "[Velmor]\n" + GetParam().line + "\nafter=1\n"));
    EXPECT_EQ(m_config.getString(QStringLiteral("Velmor:value")), GetParam().expected);
    EXPECT_EQ(m_config.getString(QStringLiteral("Velmor:after")), QStringLiteral("1"));
}

INSTANTIATE_TEST_SUITE_P(
    Values, ConfigLiteralTest,
    ::testing::Values(LiteralCase{"Semicolon", "value=ab;cd", QStringLiteral("ab;cd")},
                      LiteralCase{"Hash", "value=x#y", QStringLiteral("x#y")},
                      LiteralCase{"Backslashes", "value=a\\tb\\\\c", QStringLiteral("a\\tb\\\\c")},
                      LiteralCase{"UnquotedComma", "value=a, b", QStringLiteral("a, b")},
                      LiteralCase{"EqualsSign", "value=a=b==", QStringLiteral("a=b==")},
                      LiteralCase{"Spaces", "value =  двери открыты  ",
                                  QStringLiteral("двери открыты")},
                      LiteralCase{"QuotedSpaces", "value=\"  a  \"", QStringLiteral("  a  ")},
                      LiteralCase{"QuotedEscapes", "value=\"say \\\"hi\\\" \\\\ ok\"",
                                  QStringLiteral("say \"hi\" \\ ok")},
                      LiteralCase{"LoneQuote", "value=\"", QStringLiteral("\"")},
                      LiteralCase{"CarriageReturn", "value=crlf\r", QStringLiteral("crlf")}),
    [](const ::testing::TestParamInfo<LiteralCase> &caseInfo) {
        return std::string(caseInfo.param.name);
    });

TEST_F(ConfigTest, CommentsAndStrayLinesAreSkipped)
{
    m_config.loadFile(
        writeIni(QStringLiteral("main.ini"), QByteArrayLiteral("\xEF\xBB\xBF; leading comment\n"
                                                               "top=level\n"
                                                               "[Velmor]\n"
                                                               "# url=https://commented.out\n"
                                                               "no equals sign here\n"
                                                               "=orphan\n"
                                                               "url=https://velmor.test\n")));
    EXPECT_EQ(m_config.getString(QStringLiteral("top")), QStringLiteral("level"));
    EXPECT_EQ(m_config.getString(QStringLiteral("Velmor:url")),
              QStringLiteral("https://velmor.test"));
    EXPECT_EQ(m_config.getString(QStringLiteral("Velmor:# url"), QStringLiteral("none")),
              QStringLiteral("none"));
}

TEST_F(ConfigTest, NulByteDoesNotEndTheFile)
{
    m_config.loadFile(writeIni(QStringLiteral("main.ini"),
                               QByteArray("; a stray \0 byte\n[Velmor]\nurl=http://h\n", 39)));
    EXPECT_EQ(m_config.getString(QStringLiteral("Velmor:url")), QStringLiteral("http://h"));
}

TEST_F(ConfigTest, MissingFileAddsNothing)
{
    m_config.setValue(QStringLiteral("Velmor:url"), QStringLiteral("https://kept"));
    m_config.loadFile(m_dir.filePath(QStringLiteral("absent.ini")));
    m_config.loadFile(m_dir.path()); // a directory is no file either
    m_config.loadFile(QString());
    EXPECT_EQ(m_config.getString(QStringLiteral("Velmor:url")), QStringLiteral("https://kept"));
    EXPECT_EQ(m_config.getString(QStringLiteral("Velmor:timeout")), QString());
}

TEST_F(ConfigTest, SecondFileAddsAndOverridesKeys)
{
    m_config.loadFile(writeIni(QStringLiteral("main.ini"), kMain));
    m_config.loadFile(
        writeIni(QStringLiteral("local.ini"), QByteArrayLiteral("[Velmor]\n"
                                                                "timeout=45\n"
                                                                "certificate=/etc/till/client.p12\n"
                                                                "[Extra]\n"
                                                                "name=Касса 2\n")));
    EXPECT_EQ(m_config.getInt(QStringLiteral("Velmor:timeout"), 0), 45);
    EXPECT_EQ(m_config.getString(QStringLiteral("Velmor:certificate")),
              QStringLiteral("/etc/till/client.p12"));
    EXPECT_EQ(m_config.getString(QStringLiteral("Extra:name")), QStringLiteral("Касса 2"));
    // Keys the second file does not name stay as the first file gave them.
    EXPECT_EQ(m_config.getString(QStringLiteral("Velmor:url")),
              QStringLiteral("https://velmor.test:8443/api"));
    EXPECT_EQ(m_config.getString(QStringLiteral("Queue:database")),
              QStringLiteral("/var/lib/till/queue.sqlite"));
}

TEST_F(ConfigTest, RewrittenFileIsReadAnew)
{
    const QString path =
        writeIni(QStringLiteral("main.ini"), QByteArrayLiteral("[Velmor]\ntimeout=30\n"));
    m_config.loadFile(path);
    writeIni(QStringLiteral("main.ini"), QByteArrayLiteral("[Velmor]\ntimeout=31\n"));
    Config other;
    other.loadFile(path);
    EXPECT_EQ(other.getInt(QStringLiteral("Velmor:timeout"), 0), 31);
}

TEST_F(ConfigTest, SetValueAndClear)
{
    m_config.setValue(QStringLiteral("Queue:database"), QStringLiteral("/tmp/q.sqlite"));
    EXPECT_EQ(m_config.getString(QStringLiteral("Queue:database")),
              QStringLiteral("/tmp/q.sqlite"));
    m_config.clear();
    EXPECT_EQ(m_config.getString(QStringLiteral("Queue:database"), QStringLiteral("none")),
              QStringLiteral("none"));
}

} // namespace
