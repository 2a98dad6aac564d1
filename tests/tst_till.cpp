// The command-line till, run as a child process against a local service over loopback: its
// argument and file checks, its help, its answers and exit statuses, the queue commands and the
// demo. The pieces the till is built from (log line escaping, JSON lines, the receipt reader,
// the command line) are also tested directly.

#include <dbqueuebroker.h>
#include <sandbox/sandbox.h>
#include <till/check/jsonline.h>
#include <till/commandline.h>
#include <till/consoleprogress.h>
#include <till/logwriter.h>
#include <till/receiptreader.h>
#include <till/tillconfig.h>
#include <velmor/journal.h>

#include <gmock/gmock.h>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

using testing::HasSubstr;
using testing::IsEmpty;

namespace {

struct Outcome
{
    bool finished = false;   // ended by itself within the time allowed
    bool normalExit = false; // not by a signal
    int exitCode = -1;
    QString out;
    QString err;

    QStringList outLines() const { return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
};

QJsonObject parseLine(const QString &line)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
    return document.object();
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(content) == content.size();
}

const QByteArray SaleReceipt =
    R"({"totalSum": 2000.0, "prepaidSum": 0.0, "items": [
        {"posnum": 1, "articul": "KETTLE-1", "name": "Чайник", "quantity": 1, "bquant": 0,
         "sumb": 1500.0},
        {"posnum": 2, "articul": "MUG-2", "name": "Кружка", "quantity": 1, "bquant": 0,
         "sumb": 500.0}]})";

// The mug back from the sale above.
const QByteArray MugRefundReceipt =
    R"({"totalSum": 500.0, "items": [
        {"posnum": 2, "articul": "MUG-2", "name": "Кружка", "quantity": 1, "bquant": 1,
         "sumb": 500.0}]})";

// What is left of the sale after the mug went back.
const QByteArray KettleReceipt =
    R"({"totalSum": 1500.0, "items": [
        {"posnum": 1, "articul": "KETTLE-1", "name": "Чайник", "quantity": 1, "bquant": 0,
         "sumb": 1500.0}]})";

class TillTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(m_sandbox.start());
        const sandbox::Sandbox::Options defaults;
        ASSERT_TRUE(writeFile(path(QStringLiteral("velmor.ini")),
                              QStringLiteral("[Velmor]\nurl=%1\nlogin=%2\npassword=%3\ntimeout=5\n"
                                             "[Velmro]\ninfoRequestInterval=1\n")
                                  .arg(m_sandbox.baseUrl(), defaults.login, defaults.password)
                                  .toUtf8()));
        ASSERT_TRUE(writeFile(path(QStringLiteral("sale.json")), SaleReceipt));
        // Configurations that are no ini file of the plug-in.
        ASSERT_TRUE(writeFile(path(QStringLiteral("latin1.ini")), QByteArray("[Velmor]\nurl=") +
                                                                      m_sandbox.baseUrl().toUtf8() +
                                                                      "\nlogin=caf\xe9\n"));
        ASSERT_TRUE(writeFile(path(QStringLiteral("nosection.ini")),
                              QStringLiteral("url=%1\n").arg(m_sandbox.baseUrl()).toUtf8()));
        ASSERT_TRUE(writeFile(path(QStringLiteral("empty.ini")), QByteArray()));
    }

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // The options every run shares: the configuration, a queue and a log of this test's own.
    QStringList common() const
    {
        return {QStringLiteral("--config"), path(QStringLiteral("velmor.ini")),
                QStringLiteral("--queue"),  path(QStringLiteral("queue.sqlite")),
                QStringLiteral("--log"),    path(QStringLiteral("till.log"))};
    }

    // Runs the till in the test's directory and waits for it to end by itself.
    Outcome run(const QStringList &arguments, int timeoutMs = 60000) const
    {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.start(QStringLiteral(VELMOR_TILL_PATH), arguments);
        Outcome outcome;
        if (!process.waitForStarted(10000))
            return outcome;
        outcome.finished = process.waitForFinished(timeoutMs);
        if (!outcome.finished) {
            process.kill();
            process.waitForFinished(10000);
        }
        outcome.normalExit = process.exitStatus() == QProcess::NormalExit;
        outcome.exitCode = process.exitCode();
        outcome.out = QString::fromUtf8(process.readAllStandardOutput());
        outcome.err = QString::fromUtf8(process.readAllStandardError());
        return outcome;
    }

    // A sale of the two-position receipt; the order id it was paid under. CodePaid saves the
    // polls through the order's life, which CompletedSalePrintsOneAnswerWithTheOrderAsRrn walks.
    QString completedSale(const char *code = sandbox::Sandbox::CodePaid)
    {
        const Outcome sale =
            run(common() + QStringList{QStringLiteral("--receipt"),
                                       path(QStringLiteral("sale.json")), QStringLiteral("sale"),
                                       QStringLiteral("--amount"), QStringLiteral("200000"),
                                       QStringLiteral("--code"), QString::fromLatin1(code)});
        EXPECT_TRUE(sale.finished);
        EXPECT_EQ(sale.exitCode, 0) << sale.err.toStdString();
        const QStringList lines = sale.outLines();
        if (lines.size() != 1)
            return QString();
        return parseLine(lines.first()).value(QStringLiteral("rrn")).toString();
    }

    // How many requests the service has received whose path ends with `suffix`.
    int requestsTo(const QString &suffix) const
    {
        int count = 0;
        for (const sandbox::Sandbox::RecordedRequest &request : m_sandbox.requests())
            count += request.path.endsWith(suffix) ? 1 : 0;
        return count;
    }

    // Blocks until the service has received a request whose path ends with `suffix`; false
    // when none came within 30 seconds.
    bool waitForRequestTo(const QString &suffix) const
    {
        int seen = m_sandbox.requests().size();
        while (requestsTo(suffix) == 0) {
            if (!m_sandbox.waitForRequests(seen + 1, 30000))
                return false;
            seen = m_sandbox.requests().size();
        }
        return true;
    }

    QTemporaryDir m_dir;
    sandbox::Sandbox m_sandbox;
};

// ---- Unusable command lines and files: exit 2, a clear message, nothing sent ----

struct UnusableCase
{
    const char *name;
    QStringList arguments; // "@DIR@" stands for the test's directory
    const char *message;   // part of what standard error must say
};

void PrintTo(const UnusableCase &testCase, std::ostream *os)
{
    *os << testCase.name;
}

class TillUnusable : public TillTest, public testing::WithParamInterface<UnusableCase>
{
};

TEST_P(TillUnusable, ExitsWithTwoAndSendsNothing)
{
    QStringList arguments;
    for (const QString &argument : GetParam().arguments) {
        QString replaced = argument;
        arguments << replaced.replace(QStringLiteral("@DIR@"), m_dir.path());
    }
    const Outcome outcome = run(arguments);
    ASSERT_TRUE(outcome.finished);
    EXPECT_TRUE(outcome.normalExit);
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_THAT(outcome.out.toStdString(), IsEmpty());
    const QString message =
        QString::fromUtf8(GetParam().message).replace(QStringLiteral("@DIR@"), m_dir.path());
    EXPECT_THAT(outcome.err.toStdString(), HasSubstr(message.toStdString()));
    EXPECT_TRUE(outcome.err.startsWith(QLatin1String("till: "))) << outcome.err.toStdString();
    EXPECT_TRUE(m_sandbox.requests().isEmpty());
}

const QStringList Sale = {QStringLiteral("--config"),      QStringLiteral("@DIR@/velmor.ini"),
                          QStringLiteral("--queue"),       QStringLiteral("@DIR@/queue.sqlite"),
                          QStringLiteral("--receipt"),     QStringLiteral("@DIR@/sale.json"),
                          QStringLiteral("sale"),          QStringLiteral("--code"),
                          QStringLiteral("VELMOR-APPROVE")};

QStringList saleWith(const QStringList &more)
{
    return Sale + more;
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, TillUnusable,
    testing::Values(
        UnusableCase{"MissingConfig",
                     {QStringLiteral("--config"), QStringLiteral("@DIR@/missing.ini"),
                      QStringLiteral("sale"), QStringLiteral("--amount"), QStringLiteral("100"),
                      QStringLiteral("--code"), QStringLiteral("X")},
                     "config @DIR@/missing.ini: no such file"},
        UnusableCase{"ConfigIsADirectory",
                     {QStringLiteral("sale"), QStringLiteral("--amount"), QStringLiteral("100"),
                      QStringLiteral("--code"), QStringLiteral("X"), QStringLiteral("--config"),
                      QStringLiteral("@DIR@")},
                     "not a regular file"},
        UnusableCase{"ConfigNotUtf8",
                     {QStringLiteral("--config"), QStringLiteral("@DIR@/latin1.ini"),
                      QStringLiteral("--receipt"), QStringLiteral("@DIR@/sale.json"),
                      QStringLiteral("sale"), QStringLiteral("--amount"), QStringLiteral("100"),
                      QStringLiteral("--code"), QStringLiteral("VELMOR-APPROVE")},
                     "config @DIR@/latin1.ini: not UTF-8 text"},
        UnusableCase{"ConfigWithoutSection",
                     {QStringLiteral("--config"), QStringLiteral("@DIR@/nosection.ini"),
                      QStringLiteral("--receipt"), QStringLiteral("@DIR@/sale.json"),
                      QStringLiteral("sale"), QStringLiteral("--amount"), QStringLiteral("100"),
                      QStringLiteral("--code"), QStringLiteral("VELMOR-APPROVE")},
                     "config @DIR@/nosection.ini: holds no [section]"},
        UnusableCase{"EmptyConfig",
                     {QStringLiteral("--config"), QStringLiteral("@DIR@/empty.ini"),
                      QStringLiteral("queue")},
                     "config @DIR@/empty.ini: holds no [section]"},
        UnusableCase{"ReceiptAsConfig",
                     {QStringLiteral("--config"), QStringLiteral("@DIR@/sale.json"),
                      QStringLiteral("replay")},
                     "config @DIR@/sale.json: holds no [section]"},
        UnusableCase{"MissingReceipt",
                     {QStringLiteral("--receipt"), QStringLiteral("@DIR@/nothing.json"),
                      QStringLiteral("sale"), QStringLiteral("--amount"), QStringLiteral("100"),
                      QStringLiteral("--code"), QStringLiteral("X")},
                     "receipt @DIR@/nothing.json: no such file"},
        UnusableCase{"ReceiptIsADirectory",
                     {QStringLiteral("--receipt"), QStringLiteral("@DIR@"), QStringLiteral("sale"),
                      QStringLiteral("--amount"), QStringLiteral("100"), QStringLiteral("--code"),
                      QStringLiteral("X")},
                     "not a regular file"},
        UnusableCase{"ZeroAmount", saleWith({QStringLiteral("--amount"), QStringLiteral("0")}),
                     "amount must be positive"},
        UnusableCase{"NegativeAmount", saleWith({QStringLiteral("--amount"), QStringLiteral("-5")}),
                     "amount '-5' is not a whole number of kopecks"},
        UnusableCase{"TextAmount", saleWith({QStringLiteral("--amount=ten")}),
                     "amount 'ten' is not a whole number of kopecks"},
        UnusableCase{"FractionalAmount",
                     saleWith({QStringLiteral("--amount"), QStringLiteral("1.5")}),
                     "not a whole number"},
        UnusableCase{"AmountBeyondInt",
                     saleWith({QStringLiteral("--amount"), QStringLiteral("2147483648")}),
                     "amount '2147483648' is too large"},
        UnusableCase{
            "AmountBeyondAnyInteger",
            saleWith({QStringLiteral("--amount"), QStringLiteral("99999999999999999999999")}),
            "too large"},
        UnusableCase{"StatusWithoutRrn",
                     {QStringLiteral("--config"), QStringLiteral("@DIR@/velmor.ini"),
                      QStringLiteral("status")},
                     "status needs --rrn"},
        UnusableCase{"StatusWithEmptyRrn",
                     {QStringLiteral("--config"), QStringLiteral("@DIR@/velmor.ini"),
                      QStringLiteral("status"), QStringLiteral("--rrn=")},
                     "--rrn must not be empty"},
        UnusableCase{"StatusWithBlankRrn",
                     {QStringLiteral("--config"), QStringLiteral("@DIR@/velmor.ini"),
                      QStringLiteral("status"), QStringLiteral("--rrn"), QStringLiteral("  ")},
                     "--rrn must not be empty"},
        UnusableCase{"StatusWithAnUnusableConfig",
                     {QStringLiteral("--config"), QStringLiteral("@DIR@/nosection.ini"),
                      QStringLiteral("status"), QStringLiteral("--rrn"), QStringLiteral("X")},
                     "config @DIR@/nosection.ini: holds no [section]"},
        UnusableCase{"RefundAmountIsChecked",
                     {QStringLiteral("refund"), QStringLiteral("--rrn"), QStringLiteral("X"),
                      QStringLiteral("--amount"), QStringLiteral("0")},
                     "amount must be positive"},
        UnusableCase{"CancelAmountIsChecked",
                     {QStringLiteral("cancel"), QStringLiteral("--rrn"), QStringLiteral("X"),
                      QStringLiteral("--amount"), QStringLiteral("abc")},
                     "not a whole number"},
        UnusableCase{"BadInterruptAfter",
                     saleWith({QStringLiteral("--amount"), QStringLiteral("100"),
                               QStringLiteral("--interrupt-after"), QStringLiteral("soon")}),
                     "--interrupt-after 'soon'"},
        UnusableCase{"EmptyCode",
                     {QStringLiteral("sale"), QStringLiteral("--amount"), QStringLiteral("100"),
                      QStringLiteral("--code="), QStringLiteral("--config"),
                      QStringLiteral("@DIR@/velmor.ini")},
                     "--code must not be empty"},
        UnusableCase{"MissingRequiredOption",
                     {QStringLiteral("sale"), QStringLiteral("--amount"), QStringLiteral("100")},
                     "sale needs --code"},
        UnusableCase{"OptionOfAnotherCommand",
                     saleWith({QStringLiteral("--amount"), QStringLiteral("100"),
                               QStringLiteral("--rrn"), QStringLiteral("X")}),
                     "sale has no option --rrn"},
        UnusableCase{"OptionWithoutValue", saleWith({QStringLiteral("--amount")}),
                     "--amount needs a value"},
        UnusableCase{"OptionTwice",
                     saleWith({QStringLiteral("--amount"), QStringLiteral("1"),
                               QStringLiteral("--amount"), QStringLiteral("2")}),
                     "--amount is given twice"},
        UnusableCase{
            "UnknownCommand", {QStringLiteral("frobnicate")}, "unknown command 'frobnicate'"},
        UnusableCase{"NoCommand",
                     {QStringLiteral("--config"), QStringLiteral("@DIR@/velmor.ini")},
                     "no command given"},
        UnusableCase{"MissingPlugin",
                     saleWith({QStringLiteral("--amount"), QStringLiteral("100"),
                               QStringLiteral("--plugin"), QStringLiteral("@DIR@/libnone.so")}),
                     "plug-in @DIR@/libnone.so: no such file"},
        UnusableCase{"PluginThatIsNotOne",
                     saleWith({QStringLiteral("--amount"), QStringLiteral("100"),
                               QStringLiteral("--plugin"), QStringLiteral("@DIR@/sale.json")}),
                     "cannot be loaded"},
        UnusableCase{"QueueInAMissingDirectory",
                     {QStringLiteral("queue"), QStringLiteral("--queue"),
                      QStringLiteral("@DIR@/no/such/queue.sqlite")},
                     "queue @DIR@/no/such/queue.sqlite: cannot be opened"},
        UnusableCase{"LogInAMissingDirectory",
                     {QStringLiteral("queue"), QStringLiteral("--log"),
                      QStringLiteral("@DIR@/no/such/till.log")},
                     "log file @DIR@/no/such/till.log: cannot be opened for writing"},
        UnusableCase{"DemoWithAQueue",
                     {QStringLiteral("demo"), QStringLiteral("--queue"),
                      QStringLiteral("@DIR@/queue.sqlite")},
                     "--queue does not apply"},
        UnusableCase{"LanguageWithoutCatalogue",
                     saleWith({QStringLiteral("--amount"), QStringLiteral("100"),
                               QStringLiteral("--lang"), QStringLiteral("xx")}),
                     "--lang xx: no catalogue velmor_xx.qm"},
        UnusableCase{"JournalSinceNoDate",
                     {QStringLiteral("--config"), QStringLiteral("@DIR@/velmor.ini"),
                      QStringLiteral("journal"), QStringLiteral("--since"),
                      QStringLiteral("yesterday")},
                     "--since takes a date (2026-12-01) or an ISO time, not 'yesterday'"},
        UnusableCase{"JournalOpenWithAValue",
                     {QStringLiteral("journal"), QStringLiteral("--open=yes")},
                     "--open takes no value"},
        UnusableCase{"LanguageThatIsNoCode",
                     {QStringLiteral("queue"), QStringLiteral("--lang=../en")},
                     "--lang '../en' is not a language code"}),
    [](const testing::TestParamInfo<UnusableCase> &caseInfo) { return caseInfo.param.name; });

// ---- Malformed receipts ----

struct ReceiptCase
{
    const char *name;
    QByteArray json;
    const char *problem;
};

void PrintTo(const ReceiptCase &testCase, std::ostream *os)
{
    *os << testCase.name;
}

const QByteArray Item = R"({"posnum": 1, "articul": "A", "name": "B", "quantity": 1,
                            "bquant": 1, "sumb": 1500.0})";

QByteArray withItem(const QByteArray &item)
{
    return QByteArray(R"({"totalSum": 2000.0, "prepaidSum": 0.0, "items": [)") + item + "]}";
}

QByteArray itemWith(const char *key, const char *value)
{
    QJsonObject item = QJsonDocument::fromJson(Item).object();
    item.remove(QLatin1String(key));
    QByteArray text = QJsonDocument(item).toJson(QJsonDocument::Compact);
    text.chop(1);
    return text + ",\"" + key + "\":" + value + "}";
}

const std::vector<ReceiptCase> ReceiptCases = {
    {"NotJson", "this is not JSON", "not valid JSON"},
    {"Truncated", R"({"totalSum": 2000.0, "items": [)", "not valid JSON"},
    {"NaNLiteral", R"({"totalSum": NaN, "items": []})", "not valid JSON"},
    {"Empty", "", "not valid JSON"},
    {"ArrayAtTop", "[]", "the receipt must be a JSON object"},
    {"NoTotalSum", R"({"items": []})", "the receipt has no \"totalSum\""},
    {"NoItems", R"({"totalSum": 10})", "the receipt has no \"items\""},
    {"MisspeltKey", R"({"totalSum": 10, "items": [], "prepaidsum": 1})",
     "unknown member \"prepaidsum\""},
    {"TotalSumAsText", R"({"totalSum": "2000", "items": []})",
     "\"totalSum\" must be a number, not a string"},
    {"TotalSumNull", R"({"totalSum": null, "items": []})",
     "\"totalSum\" must be a number, not null"},
    {"NegativeTotalSum", R"({"totalSum": -1, "items": []})", "\"totalSum\" must not be negative"},
    {"HugeTotalSum", R"({"totalSum": 1e300, "items": []})", "\"totalSum\" is too large"},
    {"NegativePrepaidSum", R"({"totalSum": 10, "prepaidSum": -0.5, "items": []})",
     "\"prepaidSum\" must not be negative"},
    {"PrepaidBeyondTotal", R"({"totalSum": 10, "prepaidSum": 11, "items": []})",
     "exceeds \"totalSum\""},
    {"ItemsAsObject", R"({"totalSum": 10, "items": {}})",
     "\"items\" must be an array, not an object"},
    {"ItemNotObject", R"({"totalSum": 10, "items": [1]})",
     "items[0] must be an object, not a number"},
    {"ItemWithoutSum", withItem(R"({"posnum": 1, "articul": "A", "name": "B", "quantity": 1,
                                    "bquant": 1})"),
     "items[0] has no \"sumb\""},
    {"ItemWithExtraKey", withItem(itemWith("price", "1")), "unknown member \"price\""},
    {"QuantityAsText", withItem(itemWith("quantity", "\"1\"")),
     "items[0].quantity must be a number, not a string"},
    {"NegativeQuantity", withItem(itemWith("quantity", "-1")),
     "items[0].quantity must not be negative"},
    {"NegativeBquant", withItem(itemWith("bquant", "-2")), "items[0].bquant must not be negative"},
    {"NegativeSumb", withItem(itemWith("sumb", "-1500")), "items[0].sumb must not be negative"},
    {"FractionalPosnum", withItem(itemWith("posnum", "1.5")),
     "items[0].posnum must be a positive whole number"},
    {"ZeroPosnum", withItem(itemWith("posnum", "0")),
     "items[0].posnum must be a positive whole number"},
    {"ArticulAsNumber", withItem(itemWith("articul", "7")),
     "items[0].articul must be a string, not a number"},
    {"NameAsArray", withItem(itemWith("name", "[]")),
     "items[0].name must be a string, not an array"},
};

class TillMalformedReceipt : public TillTest, public testing::WithParamInterface<ReceiptCase>
{
};

TEST_P(TillMalformedReceipt, IsRefusedNamingFileAndProblem)
{
    ASSERT_TRUE(writeFile(path(QStringLiteral("bad.json")), GetParam().json));
    const Outcome outcome =
        run(common() + QStringList{QStringLiteral("--receipt"), path(QStringLiteral("bad.json")),
                                   QStringLiteral("sale"), QStringLiteral("--amount"),
                                   QStringLiteral("100"), QStringLiteral("--code"),
                                   QStringLiteral("VELMOR-APPROVE")});
    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_THAT(outcome.out.toStdString(), IsEmpty());
    EXPECT_THAT(outcome.err.toStdString(), HasSubstr(QStringLiteral("till: receipt %1: ")
                                                         .arg(path(QStringLiteral("bad.json")))
                                                         .toStdString()));
    EXPECT_THAT(outcome.err.toStdString(), HasSubstr(GetParam().problem));
    EXPECT_TRUE(m_sandbox.requests().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Receipts, TillMalformedReceipt, testing::ValuesIn(ReceiptCases),
                         [](const testing::TestParamInfo<ReceiptCase> &caseInfo) {
                             return caseInfo.param.name;
                         });

// The same checks without a process, on the reader itself.
class ReceiptReaderRefuses : public testing::TestWithParam<ReceiptCase>
{
};

TEST_P(ReceiptReaderRefuses, WithTheProblemNamed)
{
    const Result<QSharedPointer<Document>> read =
        till::ReceiptReader::parse(GetParam().json, QStringLiteral("receipt r.json"));
    EXPECT_FALSE(read.ok());
    EXPECT_THAT(read.error().toStdString(), HasSubstr("receipt r.json: "));
    EXPECT_THAT(read.error().toStdString(), HasSubstr(GetParam().problem));
}

INSTANTIATE_TEST_SUITE_P(Receipts, ReceiptReaderRefuses, testing::ValuesIn(ReceiptCases),
                         [](const testing::TestParamInfo<ReceiptCase> &caseInfo) {
                             return caseInfo.param.name;
                         });

TEST(ReceiptReader, ReadsEveryField)
{
    const Result<QSharedPointer<Document>> read =
        till::ReceiptReader::parse(SaleReceipt, QStringLiteral("receipt"));
    ASSERT_TRUE(read.ok()) << read.error().toStdString();
    EXPECT_TRUE(read.error().isEmpty());
    const QSharedPointer<Document> document = read.value();
    ASSERT_FALSE(document.isNull());
    EXPECT_EQ(document->getTotalSum(), 2000.0);
    EXPECT_EQ(document->getPrepaidSum(), 0.0);
    const auto items = document->getGoodsItems();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items.at(1)->getPosnum(), 2);
    EXPECT_EQ(items.at(1)->getArticul(), QStringLiteral("MUG-2"));
    EXPECT_EQ(items.at(1)->getName(), QStringLiteral("Кружка"));
    EXPECT_EQ(items.at(1)->getQuantity(), 1.0);
    EXPECT_EQ(items.at(1)->getBquant(), 0.0);
    EXPECT_EQ(items.at(1)->getSumb(), 500.0);
}

TEST(ReceiptReader, TakesAMissingPrepaidSumAsZero)
{
    const Result<QSharedPointer<Document>> read =
        till::ReceiptReader::parse(R"({"totalSum": 5, "items": []})", QStringLiteral("receipt"));
    ASSERT_TRUE(read.ok()) << read.error().toStdString();
    EXPECT_EQ(read.value()->getPrepaidSum(), 0.0);
    EXPECT_TRUE(read.value()->getGoodsItems().isEmpty());
}

// ---- Help ----

class TillHelp : public TillTest, public testing::WithParamInterface<const char *>
{
};

TEST_P(TillHelp, ShowsTheCommandsUsage)
{
    const QString command = QString::fromLatin1(GetParam());
    const QString usage = QStringLiteral("Usage: till [global options] %1").arg(command);
    for (const QStringList &arguments : {QStringList{command, QStringLiteral("--help")},
                                         QStringList{QStringLiteral("-h"), command},
                                         QStringList{QStringLiteral("help"), command}}) {
        const Outcome outcome = run(arguments);
        ASSERT_TRUE(outcome.finished);
        EXPECT_EQ(outcome.exitCode, 0) << arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(outcome.out.startsWith(usage)) << outcome.out.toStdString();
        EXPECT_THAT(outcome.out.toStdString(), HasSubstr("--config FILE"));
    }
    EXPECT_TRUE(m_sandbox.requests().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Commands, TillHelp,
                         testing::Values("sale", "refund", "cancel", "status", "queue", "journal",
                                         "replay", "demo"));

TEST_F(TillTest, OverviewListsEveryCommand)
{
    const Outcome outcome = run({QStringLiteral("--help")});
    EXPECT_EQ(outcome.exitCode, 0);
    for (const till::CommandLine::Command &command : till::CommandLine::commands())
        EXPECT_THAT(outcome.out.toStdString(),
                    HasSubstr(QStringLiteral("  %1 ").arg(command.name).toStdString()));
    EXPECT_THAT(outcome.out.toStdString(), HasSubstr("3 an answer could not be\nwritten"));
}

TEST_F(TillTest, WithoutArgumentsShowsTheOverviewAndFails)
{
    const Outcome outcome = run({});
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_THAT(outcome.err.toStdString(), HasSubstr("Usage: till"));
}

// ---- Sales, refunds, cancellations ----

TEST_F(TillTest, CompletedSalePrintsOneAnswerWithTheOrderAsRrn)
{
    const Outcome outcome =
        run(common() + QStringList{QStringLiteral("sale"), QStringLiteral("--amount"),
                                   QStringLiteral("200000"), QStringLiteral("--code"),
                                   QString::fromLatin1(sandbox::Sandbox::CodeApprove),
                                   QStringLiteral("--receipt"), path(QStringLiteral("sale.json"))});
    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    const QStringList lines = outcome.outLines();
    ASSERT_EQ(lines.size(), 1) << outcome.out.toStdString();
    EXPECT_TRUE(lines.first().startsWith(QLatin1String("{\"status\": 0, \"message\": ")))
        << lines.first().toStdString();
    const QJsonObject answer = parseLine(lines.first());
    EXPECT_EQ(answer.value(QStringLiteral("status")).toInt(-1), 0);
    EXPECT_EQ(answer.value(QStringLiteral("paymentMethod")).toInt(-1), 2);
    EXPECT_TRUE(answer.contains(QStringLiteral("message")));
    EXPECT_TRUE(answer.contains(QStringLiteral("messageKey")));
    const QString rrn = answer.value(QStringLiteral("rrn")).toString();
    ASSERT_FALSE(rrn.isEmpty());
    const QJsonObject order = m_sandbox.order(rrn);
    EXPECT_EQ(order.value(QStringLiteral("status")).toString(), QStringLiteral("completed"));
    EXPECT_EQ(order.value(QStringLiteral("amount")).toDouble(), 2000.0);
    // Not a terminal: one plain progress line per change.
    EXPECT_THAT(outcome.err.toStdString(), HasSubstr("[ 45%] Создание заказа VELMOR...\n"));
}

TEST_F(TillTest, RejectedSaleExitsWithOne)
{
    const Outcome outcome =
        run(common() + QStringList{QStringLiteral("--receipt"), path(QStringLiteral("sale.json")),
                                   QStringLiteral("sale"), QStringLiteral("--amount"),
                                   QStringLiteral("200000"), QStringLiteral("--code"),
                                   QString::fromLatin1(sandbox::Sandbox::CodeReject)});
    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.exitCode, 1);
    ASSERT_EQ(outcome.outLines().size(), 1);
    const QJsonObject answer = parseLine(outcome.outLines().first());
    EXPECT_EQ(answer.value(QStringLiteral("status")).toInt(-1), 1);
    EXPECT_FALSE(answer.value(QStringLiteral("message")).toString().isEmpty());
}

// ---- The cashier's language: answer messages and progress through the catalogue ----

struct LanguageCase
{
    const char *name;
    QStringList option; // the --lang option, or none
    const char *rejected;
    const char *progress;
    const char *excessiveRefund;
};

void PrintTo(const LanguageCase &testCase, std::ostream *os)
{
    *os << testCase.name;
}

class TillLanguage : public TillTest, public testing::WithParamInterface<LanguageCase>
{
};

// Three kettles back where one was bought.
const QByteArray ExcessiveRefundReceipt =
    R"({"totalSum": 4500.0, "items": [
        {"posnum": 1, "articul": "KETTLE-1", "name": "Чайник", "quantity": 3, "bquant": 3,
         "sumb": 4500.0}]})";

TEST_P(TillLanguage, ShowsAnswersAndProgressInTheCashiersLanguage)
{
    const Outcome sale = run(
        common() + GetParam().option +
        QStringList{QStringLiteral("--receipt"), path(QStringLiteral("sale.json")),
                    QStringLiteral("sale"), QStringLiteral("--amount"), QStringLiteral("200000"),
                    QStringLiteral("--code"), QString::fromLatin1(sandbox::Sandbox::CodeReject)});
    ASSERT_TRUE(sale.finished);
    EXPECT_EQ(sale.exitCode, 1) << sale.err.toStdString();
    ASSERT_EQ(sale.outLines().size(), 1);
    const QJsonObject rejected = parseLine(sale.outLines().first());
    EXPECT_EQ(rejected.value(QStringLiteral("message")).toString(),
              QString::fromUtf8(GetParam().rejected));
    EXPECT_EQ(rejected.value(QStringLiteral("messageKey")).toString(),
              QStringLiteral("velmorRejected"));
    EXPECT_THAT(sale.err.toStdString(), HasSubstr(GetParam().progress));
    // Log lines stay as the plug-in writes them.
    QFile log(path(QStringLiteral("till.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_THAT(QString::fromUtf8(log.readAll()).toStdString(), HasSubstr("Заявка отклонена"));

    const QString rrn = completedSale();
    ASSERT_FALSE(rrn.isEmpty());
    ASSERT_TRUE(writeFile(path(QStringLiteral("three.json")), ExcessiveRefundReceipt));
    const Outcome refund =
        run(common() + GetParam().option +
            QStringList{QStringLiteral("--receipt"), path(QStringLiteral("three.json")),
                        QStringLiteral("refund"), QStringLiteral("--rrn"), rrn,
                        QStringLiteral("--amount"), QStringLiteral("450000")});
    EXPECT_EQ(refund.exitCode, 1) << refund.err.toStdString();
    ASSERT_EQ(refund.outLines().size(), 1);
    const QJsonObject refused = parseLine(refund.outLines().first());
    EXPECT_EQ(refused.value(QStringLiteral("message")).toString(),
              QString::fromUtf8(GetParam().excessiveRefund));
    EXPECT_EQ(refused.value(QStringLiteral("messageKey")).toString(),
              QStringLiteral("velmorExceedingRefundedAmount"));
}

INSTANTIATE_TEST_SUITE_P(
    Languages, TillLanguage,
    testing::Values(LanguageCase{"RussianByDefault",
                                 {},
                                 "Заявка отклонена",
                                 "[ 45%] Создание заказа VELMOR...\n",
                                 "Сумма возврата превышает сумму заказа"},
                    LanguageCase{"Russian",
                                 {QStringLiteral("--lang"), QStringLiteral("ru")},
                                 "Заявка отклонена",
                                 "[ 45%] Создание заказа VELMOR...\n",
                                 "Сумма возврата превышает сумму заказа"},
                    LanguageCase{"English",
                                 {QStringLiteral("--lang"), QStringLiteral("en")},
                                 "Application rejected",
                                 "[ 45%] Creating the VELMOR order...\n",
                                 "The refund amount exceeds the order amount"}),
    [](const testing::TestParamInfo<LanguageCase> &caseInfo) { return caseInfo.param.name; });

TEST_F(TillTest, InterruptAfterCancelsAHeldSale)
{
    const Outcome outcome =
        run(common() + QStringList{QStringLiteral("--receipt"), path(QStringLiteral("sale.json")),
                                   QStringLiteral("sale"), QStringLiteral("--amount"),
                                   QStringLiteral("200000"), QStringLiteral("--code"),
                                   QString::fromLatin1(sandbox::Sandbox::CodeHold),
                                   QStringLiteral("--interrupt-after"), QStringLiteral("1.5")});
    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.exitCode, 1);
    ASSERT_EQ(outcome.outLines().size(), 1);
    const QJsonObject answer = parseLine(outcome.outLines().first());
    EXPECT_EQ(answer.value(QStringLiteral("status")).toInt(-1), 2);
    const QString rrn = answer.value(QStringLiteral("rrn")).toString();
    EXPECT_EQ(m_sandbox.order(rrn).value(QStringLiteral("status")).toString(),
              QStringLiteral("canceled"));
}

// SIGINT is Ctrl-C, SIGQUIT Ctrl-\; SIGTERM is what a service manager or `kill` sends, SIGHUP a
// closed terminal; SIGUSR1, SIGUSR2 and SIGALRM end a program that does not take them. Each
// presses the cashier's cancel button during a sale.
struct StopSignalCase
{
    const char *name;
    int first;
    int second; // sent while the cancellation hangs at the service
};

void PrintTo(const StopSignalCase &testCase, std::ostream *os)
{
    *os << testCase.name;
}

class TillStopSignal : public TillTest, public testing::WithParamInterface<StopSignalCase>
{
protected:
    void startHeldSale(QProcess *process)
    {
        process->setWorkingDirectory(m_dir.path());
        process->start(QStringLiteral(VELMOR_TILL_PATH),
                       common() + QStringList{QStringLiteral("--receipt"),
                                              path(QStringLiteral("sale.json")),
                                              QStringLiteral("sale"), QStringLiteral("--amount"),
                                              QStringLiteral("200000"), QStringLiteral("--code"),
                                              QString::fromLatin1(sandbox::Sandbox::CodeHold)});
        ASSERT_TRUE(process->waitForStarted(10000));
    }

    static bool waitForError(QProcess *process, QByteArray *errors, const QByteArray &text)
    {
        QElapsedTimer timer;
        timer.start();
        while (!errors->contains(text) && timer.elapsed() < 30000 &&
               process->state() == QProcess::Running) {
            process->waitForReadyRead(1000);
            *errors += process->readAllStandardError();
        }
        return errors->contains(text);
    }

    // The one answer line of an ended sale.
    static QJsonObject answerOf(QProcess *process)
    {
        const QStringList lines = QString::fromUtf8(process->readAllStandardOutput())
                                      .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        EXPECT_EQ(lines.size(), 1) << lines.join(QLatin1Char('\n')).toStdString();
        return lines.isEmpty() ? QJsonObject() : parseLine(lines.first());
    }
};

TEST_P(TillStopSignal, CancelsTheSaleInsteadOfKillingTheTill)
{
    QProcess process;
    startHeldSale(&process);
    // The order is approved and waited on once this line is out.
    QByteArray errors;
    ASSERT_TRUE(waitForError(&process, &errors, "[ 70%]")) << errors.toStdString();
    ASSERT_EQ(::kill(pid_t(process.processId()), GetParam().first), 0);

    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 1);
    const QJsonObject answer = answerOf(&process);
    EXPECT_EQ(answer.value(QStringLiteral("status")).toInt(-1), 2);
    EXPECT_EQ(m_sandbox.order(answer.value(QStringLiteral("rrn")).toString())
                  .value(QStringLiteral("status"))
                  .toString(),
              QStringLiteral("canceled"));
}

TEST_P(TillStopSignal, SecondSignalWaitsUntilTheCancellationIsQueuedAndReported)
{
    // The cancellation is read and never answered: the plug-in gives up after the timeout
    // and queues it.
    m_sandbox.setFault(sandbox::Sandbox::Endpoint::Cancel, sandbox::Sandbox::Fault::NoAnswer);
    QProcess process;
    startHeldSale(&process);
    QByteArray errors;
    ASSERT_TRUE(waitForError(&process, &errors, "[ 70%]")) << errors.toStdString();
    ASSERT_EQ(::kill(pid_t(process.processId()), GetParam().first), 0);
    ASSERT_TRUE(waitForError(&process, &errors, "till: interrupting the sale"))
        << errors.toStdString();
    // Wait until the cancellation has reached the service, where it now hangs.
    ASSERT_TRUE(waitForRequestTo(QStringLiteral("/cancel")));
    ASSERT_EQ(::kill(pid_t(process.processId()), GetParam().second), 0);
    ASSERT_TRUE(waitForError(&process, &errors, "the cancellation is still under way"))
        << errors.toStdString();

    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 1);
    errors += process.readAllStandardError();
    EXPECT_THAT(errors.toStdString(), HasSubstr("till: the cancellation is accepted"));
    const QJsonObject answer = answerOf(&process);
    EXPECT_EQ(answer.value(QStringLiteral("status")).toInt(-1), 2);
    const QString rrn = answer.value(QStringLiteral("rrn")).toString();
    ASSERT_FALSE(rrn.isEmpty());

    // The order the answer names waits in the queue for its cancellation.
    DBQueueBroker queue(path(QStringLiteral("queue.sqlite")));
    const QList<QueuedMessage> pending = queue.pendingMessages();
    ASSERT_EQ(pending.size(), 1);
    EXPECT_EQ(pending.first().message.value(QStringLiteral("orderId")).toString(), rrn);
}

INSTANTIATE_TEST_SUITE_P(Signals, TillStopSignal,
                         testing::Values(StopSignalCase{"Interrupt", SIGINT, SIGINT},
                                         StopSignalCase{"Terminate", SIGTERM, SIGTERM},
                                         StopSignalCase{"HangUp", SIGHUP, SIGINT},
                                         StopSignalCase{"Quit", SIGQUIT, SIGQUIT},
                                         StopSignalCase{"UserSignals", SIGUSR1, SIGUSR2},
                                         StopSignalCase{"Alarm", SIGALRM, SIGQUIT}),
                         [](const testing::TestParamInfo<StopSignalCase> &caseInfo) {
                             return caseInfo.param.name;
                         });

// A refund, a cancellation or a replayed message that the service carries out must reach the
// cashier's screen: a till ended before its answer leaves the cashier to do it again, and the
// buyer gets the money twice. A stop signal during one is held until its answer is printed.
struct HeldSignalCase
{
    const char *name;
    // After the till's global options; "@RRN@" stands for the first sale's order.
    QStringList arguments;
    // How many of the two sales' cancellations are queued beforehand, the first sale's first
    // (for the replay).
    int queued;
    int first;
    int second; // sent while the exchange is still under way
    int exitCode;
    const char *notice; // on standard error once the answer is out
    // Both signals come while the till is still starting, before the plug-in is loaded.
    bool whileStarting = false;
};

// Whether process `pid` has a handler of its own for `signal` (its SigCgt mask says so).
bool catchesSignal(qint64 pid, int signal)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1U;
    }
    return false;
}

// Whether process `pid` has mapped a file whose name holds `name`.
bool hasMapped(qint64 pid, const QByteArray &name)
{
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(name);
}

void PrintTo(const HeldSignalCase &testCase, std::ostream *os)
{
    *os << testCase.name;
}

class TillHeldSignal : public TillTest, public testing::WithParamInterface<HeldSignalCase>
{
};

TEST_P(TillHeldSignal, EndsOnlyOnceTheExchangeInFlightIsAnswered)
{
    const QString rrn = completedSale(sandbox::Sandbox::CodePaid);
    const QString other = completedSale(sandbox::Sandbox::CodePaid);
    ASSERT_FALSE(rrn.isEmpty());
    ASSERT_FALSE(other.isEmpty());
    ASSERT_TRUE(writeFile(path(QStringLiteral("mug.json")), MugRefundReceipt));
    if (GetParam().queued > 0) {
        m_sandbox.setFault(sandbox::Sandbox::Endpoint::Refund, sandbox::Sandbox::Fault::Drop);
        for (const QString &order : QStringList{rrn, other}.mid(0, GetParam().queued)) {
            const Outcome cancel =
                run(common() + QStringList{QStringLiteral("--receipt"),
                                           path(QStringLiteral("sale.json")),
                                           QStringLiteral("cancel"), QStringLiteral("--rrn"), order,
                                           QStringLiteral("--amount"), QStringLiteral("200000")});
            ASSERT_EQ(cancel.exitCode, 0) << cancel.err.toStdString();
        }
        m_sandbox.clearFaults();
    }
    m_sandbox.clearRequests();
    // The service carries the refund out at once and answers two seconds later.
    m_sandbox.setFault(sandbox::Sandbox::Endpoint::Refund, sandbox::Sandbox::Fault::Delay, 2000);

    QStringList arguments = common();
    for (const QString &argument : GetParam().arguments)
        arguments << QString(argument)
                         .replace(QStringLiteral("@RRN@"), rrn)
                         .replace(QStringLiteral("@DIR@"), m_dir.path());
    QProcess till;
    till.setWorkingDirectory(m_dir.path());
    till.start(QStringLiteral(VELMOR_TILL_PATH), arguments);
    ASSERT_TRUE(till.waitForStarted(10000));
    const QString refundPath = QStringLiteral("/%1/refund").arg(rrn);
    const pid_t pid = pid_t(till.processId());
    if (GetParam().whileStarting) {
        // The till is caught as soon as its handlers are in place and held there: the signals
        // then come before it has loaded the plug-in, let alone sent anything.
        QElapsedTimer timer;
        timer.start();
        while (!catchesSignal(pid, GetParam().first) && timer.elapsed() < 10000) {
        }
        ASSERT_EQ(::kill(pid, SIGSTOP), 0);
        EXPECT_TRUE(catchesSignal(pid, GetParam().first) && catchesSignal(pid, GetParam().second));
        EXPECT_FALSE(hasMapped(pid, "libvelmor.so")) << "the signals are held only once the "
                                                        "plug-in is loaded";
        EXPECT_EQ(requestsTo(refundPath), 0);
    } else {
        ASSERT_TRUE(waitForRequestTo(refundPath)) << till.readAllStandardError().toStdString();
    }
    ASSERT_EQ(::kill(pid, GetParam().first), 0);
    ASSERT_EQ(::kill(pid, GetParam().second), 0);
    if (GetParam().whileStarting) {
        ASSERT_EQ(::kill(pid, SIGCONT), 0);
    }

    ASSERT_TRUE(till.waitForFinished(30000));
    const QString out = QString::fromUtf8(till.readAllStandardOutput());
    const QString err = QString::fromUtf8(till.readAllStandardError());
    EXPECT_EQ(till.exitStatus(), QProcess::NormalExit) << err.toStdString();
    EXPECT_EQ(till.exitCode(), GetParam().exitCode) << err.toStdString();
    EXPECT_THAT(err.toStdString(), HasSubstr(GetParam().notice));

    // The one exchange's answer is out, and the service refunded exactly once.
    const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1) << out.toStdString() << err.toStdString();
    const QJsonObject answer = parseLine(lines.first());
    if (GetParam().queued > 0) {
        EXPECT_EQ(answer.value(QStringLiteral("orderId")).toString(), rrn);
        EXPECT_TRUE(answer.value(QStringLiteral("finished")).toBool());
    } else {
        EXPECT_EQ(answer.value(QStringLiteral("status")).toInt(-1), 0);
    }
    EXPECT_EQ(requestsTo(refundPath), 1);
    EXPECT_EQ(m_sandbox.order(rrn).value(QStringLiteral("refund")).toArray().size(), 1);

    // Nothing was sent about the other order; its message, if queued, waits for the next
    // replay.
    EXPECT_EQ(requestsTo(QStringLiteral("/%1/info").arg(other)), 0);
    EXPECT_TRUE(m_sandbox.order(other).value(QStringLiteral("refund")).toArray().isEmpty());
    DBQueueBroker queue(path(QStringLiteral("queue.sqlite")));
    const QList<QueuedMessage> pending = queue.pendingMessages();
    if (GetParam().queued == 2) {
        ASSERT_EQ(pending.size(), 1);
        EXPECT_EQ(pending.first().message.value(QStringLiteral("orderId")).toString(), other);
        EXPECT_EQ(pending.first().attempts, 0);
    } else {
        EXPECT_TRUE(pending.isEmpty());
    }
}

// A stop signal while the till is still starting is the cashier's cancel before the sale: the
// sale is not started, nothing is sent, and the answer line says so.
TEST_F(TillTest, SaleSignalledWhileStartingIsNotStarted)
{
    QProcess till;
    till.setWorkingDirectory(m_dir.path());
    till.start(QStringLiteral(VELMOR_TILL_PATH),
               common() + QStringList{QStringLiteral("--receipt"),
                                      path(QStringLiteral("sale.json")), QStringLiteral("sale"),
                                      QStringLiteral("--amount"), QStringLiteral("200000"),
                                      QStringLiteral("--code"),
                                      QLatin1String(sandbox::Sandbox::CodeHold)});
    ASSERT_TRUE(till.waitForStarted(10000));
    const pid_t pid = pid_t(till.processId());
    QElapsedTimer timer;
    timer.start();
    while (!catchesSignal(pid, SIGTERM) && timer.elapsed() < 10000) {
    }
    ASSERT_EQ(::kill(pid, SIGSTOP), 0);
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    ASSERT_EQ(::kill(pid, SIGCONT), 0);
    ASSERT_TRUE(till.waitForFinished(30000));
    const QString err = QString::fromUtf8(till.readAllStandardError());
    EXPECT_EQ(till.exitCode(), 1) << err.toStdString();
    EXPECT_THAT(err.toStdString(), HasSubstr("till: SIGTERM came before the sale began"));
    const QStringList lines = QString::fromUtf8(till.readAllStandardOutput())
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(parseLine(lines.first()).value(QStringLiteral("messageKey")).toString(),
              QStringLiteral("tillSaleNotStarted"));
    EXPECT_TRUE(m_sandbox.requests().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Operations, TillHeldSignal,
    testing::Values(
        HeldSignalCase{"Refund",
                       {QStringLiteral("--receipt"), QStringLiteral("@DIR@/mug.json"),
                        QStringLiteral("refund"), QStringLiteral("--rrn"), QStringLiteral("@RRN@"),
                        QStringLiteral("--amount"), QStringLiteral("50000")},
                       0,
                       SIGTERM,
                       SIGTERM,
                       0,
                       "till: SIGTERM came during the refund"},
        HeldSignalCase{"Cancel",
                       {QStringLiteral("--receipt"), QStringLiteral("@DIR@/sale.json"),
                        QStringLiteral("cancel"), QStringLiteral("--rrn"), QStringLiteral("@RRN@"),
                        QStringLiteral("--amount"), QStringLiteral("200000")},
                       0,
                       SIGHUP,
                       SIGINT,
                       0,
                       // Either may be taken first.
                       " came during the cancellation, which was finished and its answer "
                       "printed"},
        HeldSignalCase{"Replay",
                       {QStringLiteral("replay")},
                       2,
                       SIGTERM,
                       SIGTERM,
                       1,
                       "till: replay stopped on SIGTERM: 1 queued message(s) not offered"},
        // Nothing is left unoffered: the replay did all it had to.
        HeldSignalCase{"ReplayOfTheLastMessage",
                       {QStringLiteral("replay")},
                       1,
                       SIGINT,
                       SIGINT,
                       0,
                       "till: SIGINT came during the replay's last message"},
        HeldSignalCase{"RefundOnQuitAndUserSignal",
                       {QStringLiteral("--receipt"), QStringLiteral("@DIR@/mug.json"),
                        QStringLiteral("refund"), QStringLiteral("--rrn"), QStringLiteral("@RRN@"),
                        QStringLiteral("--amount"), QStringLiteral("50000")},
                       0,
                       SIGQUIT,
                       SIGUSR1,
                       0,
                       // Either may be taken first.
                       " came during the refund, which was finished and its answer printed"},
        HeldSignalCase{"CancelOnAlarmAndUserSignal",
                       {QStringLiteral("--receipt"), QStringLiteral("@DIR@/sale.json"),
                        QStringLiteral("cancel"), QStringLiteral("--rrn"), QStringLiteral("@RRN@"),
                        QStringLiteral("--amount"), QStringLiteral("200000")},
                       0,
                       SIGALRM,
                       SIGUSR2,
                       0,
                       " came during the cancellation, which was finished and its answer "
                       "printed"},
        HeldSignalCase{"ReplayOnQuit",
                       {QStringLiteral("replay")},
                       2,
                       SIGQUIT,
                       SIGALRM,
                       1,
                       " queued message(s) not offered"},
        HeldSignalCase{"RefundSignalledWhileStarting",
                       {QStringLiteral("--receipt"), QStringLiteral("@DIR@/mug.json"),
                        QStringLiteral("refund"), QStringLiteral("--rrn"), QStringLiteral("@RRN@"),
                        QStringLiteral("--amount"), QStringLiteral("50000")},
                       0,
                       SIGTERM,
                       SIGQUIT,
                       0,
                       " came during the refund, which was finished and its answer printed",
                       true},
        HeldSignalCase{"CancelSignalledWhileStarting",
                       {QStringLiteral("--receipt"), QStringLiteral("@DIR@/sale.json"),
                        QStringLiteral("cancel"), QStringLiteral("--rrn"), QStringLiteral("@RRN@"),
                        QStringLiteral("--amount"), QStringLiteral("200000")},
                       0,
                       SIGINT,
                       SIGUSR2,
                       0,
                       " came during the cancellation, which was finished and its answer "
                       "printed",
                       true}),
    [](const testing::TestParamInfo<HeldSignalCase> &caseInfo) { return caseInfo.param.name; });

// ---- The host's other buttons through the plug-in ----

// Each button's command prints the slot's answer line, with the lines the host would print in
// "printImages"; the reports and the copy send nothing.
TEST_F(TillTest, HostButtonsAnswerThroughThePlugin)
{
    const QString rrn = completedSale(sandbox::Sandbox::CodePaid);
    ASSERT_FALSE(rrn.isEmpty());
    m_sandbox.clearRequests();
    struct Button
    {
        QStringList arguments;
        int exitCode;
        const char *messageKey;
        const char *printed; // a line of "printImages"; null: none
    };
    const Button buttons[] = {
        {{QStringLiteral("test-connection")}, 0, "velmorConnectionOk", nullptr},
        {{QStringLiteral("reconcile")},
         0,
         "velmorReconcileAgreed",
         "Оплаты по кассе: 1, 2000.00 руб."},
        {{QStringLiteral("report"), QStringLiteral("--short")},
         0,
         "velmorReportReady",
         "Оплаты: 1, 2000.00 руб."},
        {{QStringLiteral("report")}, 0, "velmorReportReady", "Отчет за смену"},
        {{QStringLiteral("print-copy")}, 0, "velmorCopyReady", "КОПИЯ"},
    };
    for (const Button &button : buttons) {
        const Outcome outcome = run(common() + button.arguments);
        EXPECT_EQ(outcome.exitCode, button.exitCode) << outcome.err.toStdString();
        const QStringList lines = outcome.outLines();
        ASSERT_EQ(lines.size(), 1) << outcome.out.toStdString();
        const QJsonObject line = parseLine(lines.first());
        EXPECT_EQ(line.value(QStringLiteral("messageKey")).toString(),
                  QString::fromLatin1(button.messageKey));
        const QJsonArray printed = line.value(QStringLiteral("printImages")).toArray();
        EXPECT_EQ(line.contains(QStringLiteral("printImages")), button.printed != nullptr);
        if (button.printed) {
            EXPECT_TRUE(printed.contains(QString::fromUtf8(button.printed)))
                << lines.first().toStdString();
        }
    }
    // The connection test and the reconciliation asked once each; nothing else went out.
    EXPECT_EQ(m_sandbox.requests().size(), 2);

    // The service down: the connection test says so, the reconciliation could ask nothing.
    m_sandbox.stop();
    EXPECT_EQ(run(common() + QStringList{QStringLiteral("test-connection")}).exitCode, 1);
    const Outcome reconcile = run(common() + QStringList{QStringLiteral("reconcile")});
    EXPECT_EQ(reconcile.exitCode, 1);
    ASSERT_EQ(reconcile.outLines().size(), 1);
    EXPECT_EQ(
        parseLine(reconcile.outLines().first()).value(QStringLiteral("messageKey")).toString(),
        QStringLiteral("velmorReconcileNoService"));
}

// ---- An order looked up at the service ----

struct StatusCase
{
    const char *name;
    // The order asked about; empty: a sale paid and partly refunded beforehand.
    QString rrn;
    sandbox::Sandbox::Fault infoFault;
    bool serviceDown;
    int exitCode;
    QJsonObject expected;    // members the line must hold besides "rrn"
    const char *encodedPath; // the request's path ending; null: the sale's "/ID/info"
};

void PrintTo(const StatusCase &testCase, std::ostream *os)
{
    *os << testCase.name;
}

class TillStatus : public TillTest, public testing::WithParamInterface<StatusCase>
{
};

TEST_P(TillStatus, PrintsTheOrdersStateInOneLine)
{
    QString rrn = GetParam().rrn;
    if (rrn.isEmpty()) {
        rrn = completedSale(sandbox::Sandbox::CodePaid);
        ASSERT_FALSE(rrn.isEmpty());
        ASSERT_TRUE(writeFile(path(QStringLiteral("mug.json")), MugRefundReceipt));
        const Outcome refund = run(
            common() + QStringList{QStringLiteral("--receipt"), path(QStringLiteral("mug.json")),
                                   QStringLiteral("refund"), QStringLiteral("--rrn"), rrn,
                                   QStringLiteral("--amount"), QStringLiteral("50000")});
        ASSERT_EQ(refund.exitCode, 0) << refund.err.toStdString();
    }
    m_sandbox.clearRequests();
    m_sandbox.setFault(sandbox::Sandbox::Endpoint::Info, GetParam().infoFault);
    if (GetParam().serviceDown)
        m_sandbox.stop();

    // A queue of its own, to see that the look-up makes none.
    const QString queueFile = path(QStringLiteral("status-queue.sqlite"));
    const Outcome outcome = run({QStringLiteral("--config"), path(QStringLiteral("velmor.ini")),
                                 QStringLiteral("--queue"), queueFile, QStringLiteral("--log"),
                                 path(QStringLiteral("till.log")), QStringLiteral("status"),
                                 QStringLiteral("--rrn"), rrn},
                                30000);
    ASSERT_TRUE(outcome.finished);
    EXPECT_TRUE(outcome.normalExit);
    EXPECT_EQ(outcome.exitCode, GetParam().exitCode) << outcome.err.toStdString();
    const QStringList lines = outcome.outLines();
    ASSERT_EQ(lines.size(), 1) << outcome.out.toStdString() << outcome.err.toStdString();
    EXPECT_TRUE(lines.first().startsWith(QLatin1String("{\"rrn\": ")))
        << lines.first().toStdString();
    const QJsonObject line = parseLine(lines.first());
    EXPECT_EQ(line.value(QStringLiteral("rrn")).toString(), rrn);
    for (auto it = GetParam().expected.begin(); it != GetParam().expected.end(); ++it)
        EXPECT_EQ(line.value(it.key()), it.value()) << it.key().toStdString();
    EXPECT_EQ(line.contains(QStringLiteral("error")), GetParam().exitCode != 0);
    EXPECT_FALSE(line.contains(QStringLiteral("error")) &&
                 line.value(QStringLiteral("message")).toString().isEmpty());

    // One status request and nothing else, carrying the plug-in's own headers; nothing queued.
    {
        DBQueueBroker queue(queueFile, DBQueueBroker::OpenMode::ReadOnly);
        EXPECT_TRUE(queue.pendingMessages().isEmpty());
    }
    if (GetParam().serviceDown)
        return;
    const QList<sandbox::Sandbox::RecordedRequest> requests = m_sandbox.requests();
    ASSERT_EQ(requests.size(), 1);
    const sandbox::Sandbox::RecordedRequest &request = requests.first();
    EXPECT_EQ(request.method, QStringLiteral("GET"));
    const QString ending = GetParam().encodedPath ? QString::fromLatin1(GetParam().encodedPath)
                                                  : QStringLiteral("/%1/info").arg(rrn);
    EXPECT_TRUE(request.path.endsWith(ending)) << request.path.toStdString();
    const sandbox::Sandbox::Options defaults;
    EXPECT_EQ(request.headers.value(QStringLiteral("authorization")),
              QStringLiteral("Basic ") +
                  QString::fromLatin1(QStringLiteral("%1:%2")
                                          .arg(defaults.login, defaults.password)
                                          .toUtf8()
                                          .toBase64()));
    EXPECT_EQ(request.headers.value(QStringLiteral("x-correlation-id")), rrn);
}

INSTANTIATE_TEST_SUITE_P(
    Orders, TillStatus,
    testing::Values(
        StatusCase{"CompletedWithAPartialRefund",
                   QString(),
                   sandbox::Sandbox::Fault::None,
                   false,
                   0,
                   {{QStringLiteral("status"), QStringLiteral("completed")},
                    {QStringLiteral("amount"), 2000.0},
                    {QStringLiteral("refunded"), 500.0}},
                   nullptr},
        // An id with characters a path must not carry as they are.
        StatusCase{"UnknownOrder",
                   QStringLiteral("NO/SUCH ORDER?"),
                   sandbox::Sandbox::Fault::None,
                   false,
                   1,
                   {{QStringLiteral("error"), QStringLiteral("order_not_found")},
                    {QStringLiteral("message"), QStringLiteral("Заказ не найден")},
                    {QStringLiteral("httpCode"), 404}},
                   "/NO%2FSUCH%20ORDER%3F/info"},
        StatusCase{"ServiceDown",
                   QStringLiteral("ORDER-1"),
                   sandbox::Sandbox::Fault::None,
                   true,
                   1,
                   {{QStringLiteral("error"), QStringLiteral("no answer from the service")},
                    {QStringLiteral("httpCode"), 0}},
                   nullptr},
        StatusCase{"ServiceError",
                   QString(),
                   sandbox::Sandbox::Fault::ErrorObject,
                   false,
                   1,
                   {{QStringLiteral("error"), QStringLiteral("service_error")},
                    {QStringLiteral("httpCode"), 400}},
                   nullptr},
        StatusCase{"GatewayPage",
                   QString(),
                   sandbox::Sandbox::Fault::Html502,
                   false,
                   1,
                   {{QStringLiteral("error"), QStringLiteral("no usable answer from the service")},
                    {QStringLiteral("httpCode"), 502}},
                   nullptr},
        StatusCase{"AnswerAboutAnotherOrder",
                   QString(),
                   sandbox::Sandbox::Fault::OtherOrder,
                   false,
                   1,
                   {{QStringLiteral("error"), QStringLiteral("no usable answer from the service")}},
                   nullptr},
        StatusCase{"EmptyObject",
                   QString(),
                   sandbox::Sandbox::Fault::Empty200,
                   false,
                   1,
                   {{QStringLiteral("error"), QStringLiteral("no usable answer from the service")},
                    {QStringLiteral("httpCode"), 200}},
                   nullptr}),
    [](const testing::TestParamInfo<StatusCase> &caseInfo) { return caseInfo.param.name; });

TEST_F(TillTest, PartialRefundThenQueuedCancellationThenReplay)
{
    const QString rrn = completedSale();
    ASSERT_FALSE(rrn.isEmpty());

    ASSERT_TRUE(writeFile(path(QStringLiteral("mug.json")), MugRefundReceipt));
    const Outcome refund =
        run(common() + QStringList{QStringLiteral("--receipt"), path(QStringLiteral("mug.json")),
                                   QStringLiteral("refund"), QStringLiteral("--rrn"), rrn,
                                   QStringLiteral("--amount"), QStringLiteral("50000")});
    EXPECT_EQ(refund.exitCode, 0) << refund.out.toStdString() << refund.err.toStdString();
    ASSERT_EQ(refund.outLines().size(), 1);
    EXPECT_EQ(parseLine(refund.outLines().first()).value(QStringLiteral("status")).toInt(-1), 0);

    // The service takes the refund request and never answers: the cancellation is queued.
    m_sandbox.setFault(sandbox::Sandbox::Endpoint::Refund, sandbox::Sandbox::Fault::Drop);
    ASSERT_TRUE(writeFile(path(QStringLiteral("kettle.json")), KettleReceipt));
    const Outcome cancel =
        run(common() + QStringList{QStringLiteral("--receipt"), path(QStringLiteral("kettle.json")),
                                   QStringLiteral("cancel"), QStringLiteral("--rrn"), rrn,
                                   QStringLiteral("--amount"), QStringLiteral("150000")});
    EXPECT_EQ(cancel.exitCode, 0) << cancel.out.toStdString() << cancel.err.toStdString();
    ASSERT_EQ(cancel.outLines().size(), 1);
    const QJsonObject cancelAnswer = parseLine(cancel.outLines().first());
    EXPECT_EQ(cancelAnswer.value(QStringLiteral("status")).toInt(-1), 6);
    EXPECT_FALSE(cancelAnswer.value(QStringLiteral("message")).toString().isEmpty());

    const Outcome queue = run(common() + QStringList{QStringLiteral("queue")});
    EXPECT_EQ(queue.exitCode, 0);
    ASSERT_EQ(queue.outLines().size(), 1) << queue.out.toStdString();
    const QString queueLine = queue.outLines().first();
    EXPECT_TRUE(queueLine.startsWith(QLatin1String("{\"id\": "))) << queueLine.toStdString();
    const QJsonObject queued = parseLine(queueLine);
    EXPECT_EQ(queued.value(QStringLiteral("type")).toString(), QStringLiteral("processing"));
    EXPECT_EQ(queued.value(QStringLiteral("attempts")).toInt(-1), 0);
    EXPECT_TRUE(
        QDateTime::fromString(queued.value(QStringLiteral("added")).toString(), Qt::ISODateWithMs)
            .isValid());
    EXPECT_EQ(queued.value(QStringLiteral("message"))
                  .toObject()
                  .value(QStringLiteral("orderId"))
                  .toString(),
              rrn);

    m_sandbox.clearFaults();
    const Outcome replay = run(common() + QStringList{QStringLiteral("replay")});
    EXPECT_EQ(replay.exitCode, 0) << replay.err.toStdString();
    ASSERT_EQ(replay.outLines().size(), 1);
    const QJsonObject replayed = parseLine(replay.outLines().first());
    EXPECT_EQ(replayed.value(QStringLiteral("id")).toInt(-1),
              queued.value(QStringLiteral("id")).toInt(-2));
    EXPECT_EQ(replayed.value(QStringLiteral("orderId")).toString(), rrn);
    EXPECT_TRUE(replayed.value(QStringLiteral("finished")).toBool());
    EXPECT_EQ(m_sandbox.order(rrn).value(QStringLiteral("status")).toString(),
              QStringLiteral("refunded"));

    const Outcome after = run(common() + QStringList{QStringLiteral("queue")});
    EXPECT_EQ(after.exitCode, 0);
    EXPECT_THAT(after.out.toStdString(), IsEmpty());
}

TEST_F(TillTest, ReplayWhileTheServiceIsDownKeepsTheMessageAndCountsTheAttempt)
{
    const QString rrn = completedSale();
    ASSERT_FALSE(rrn.isEmpty());
    m_sandbox.setFault(sandbox::Sandbox::Endpoint::Refund, sandbox::Sandbox::Fault::Drop);
    const Outcome cancel =
        run(common() + QStringList{QStringLiteral("--receipt"), path(QStringLiteral("sale.json")),
                                   QStringLiteral("cancel"), QStringLiteral("--rrn"), rrn,
                                   QStringLiteral("--amount"), QStringLiteral("200000")});
    ASSERT_EQ(cancel.exitCode, 0) << cancel.out.toStdString();

    m_sandbox.setFault(sandbox::Sandbox::Endpoint::Info, sandbox::Sandbox::Fault::Drop);
    const Outcome replay = run(common() + QStringList{QStringLiteral("replay")});
    EXPECT_EQ(replay.exitCode, 1);
    ASSERT_EQ(replay.outLines().size(), 1);
    EXPECT_FALSE(
        parseLine(replay.outLines().first()).value(QStringLiteral("finished")).toBool(true));

    const Outcome queue = run(common() + QStringList{QStringLiteral("queue")});
    ASSERT_EQ(queue.outLines().size(), 1);
    EXPECT_EQ(parseLine(queue.outLines().first()).value(QStringLiteral("attempts")).toInt(-1), 1);
}

// A till pointed at another service (another environment) replays a paid order's cancellation
// that service does not know: the message is kept, and `till metrics` counts it until a replay
// against the service that took the payment finishes it.
TEST_F(TillTest, PaidOrderAnotherServiceDoesNotKnowIsKeptAndCountedUntilFinished)
{
    const QString rrn = completedSale(sandbox::Sandbox::CodePaid);
    ASSERT_FALSE(rrn.isEmpty());
    m_sandbox.setFault(sandbox::Sandbox::Endpoint::Refund, sandbox::Sandbox::Fault::Drop);
    const Outcome cancel =
        run(common() + QStringList{QStringLiteral("--receipt"), path(QStringLiteral("sale.json")),
                                   QStringLiteral("cancel"), QStringLiteral("--rrn"), rrn,
                                   QStringLiteral("--amount"), QStringLiteral("200000")});
    ASSERT_EQ(cancel.exitCode, 0) << cancel.out.toStdString();
    m_sandbox.setFault(sandbox::Sandbox::Endpoint::Refund, sandbox::Sandbox::Fault::None);

    sandbox::Sandbox other;
    ASSERT_TRUE(other.start());
    const sandbox::Sandbox::Options defaults;
    ASSERT_TRUE(writeFile(path(QStringLiteral("other.ini")),
                          QStringLiteral("[Velmor]\nurl=%1\nlogin=%2\npassword=%3\ntimeout=5\n")
                              .arg(other.baseUrl(), defaults.login, defaults.password)
                              .toUtf8()));
    QStringList atOther = common();
    atOther[1] = path(QStringLiteral("other.ini"));
    const QString held =
        QStringLiteral("velmor_queue_held_messages{reason=\"order_not_found\"} %1");
    for (const QStringList &options : {atOther, common()}) {
        const bool right = options == common();
        const Outcome replay = run(options + QStringList{QStringLiteral("replay")});
        EXPECT_EQ(replay.exitCode, right ? 0 : 1) << replay.err.toStdString();
        ASSERT_EQ(replay.outLines().size(), 1);
        EXPECT_EQ(parseLine(replay.outLines().first()).value(QStringLiteral("finished")).toBool(),
                  right);
        const Outcome metrics = run(options + QStringList{QStringLiteral("metrics")});
        EXPECT_THAT(metrics.outLines(), testing::Contains(held.arg(right ? 0 : 1)));
    }
    EXPECT_EQ(m_sandbox.order(rrn).value(QStringLiteral("status")).toString(),
              QStringLiteral("refunded"));
}

TEST_F(TillTest, TwoReplaysAtOnceSendEachMessageOnce)
{
    // Two cancellations the service never answered wait in the queue.
    QStringList orders;
    for (int i = 0; i < 2; ++i) {
        orders << completedSale();
        ASSERT_FALSE(orders.last().isEmpty());
    }
    m_sandbox.setFault(sandbox::Sandbox::Endpoint::Refund, sandbox::Sandbox::Fault::Drop);
    for (const QString &rrn : orders) {
        const Outcome cancel = run(
            common() + QStringList{QStringLiteral("--receipt"), path(QStringLiteral("sale.json")),
                                   QStringLiteral("cancel"), QStringLiteral("--rrn"), rrn,
                                   QStringLiteral("--amount"), QStringLiteral("200000")});
        ASSERT_EQ(cancel.exitCode, 0) << cancel.out.toStdString();
    }
    m_sandbox.clearFaults();
    m_sandbox.clearRequests();

    // The first replay is slowed down at its first status request, so the second one starts
    // while the first is surely under way.
    m_sandbox.setFault(sandbox::Sandbox::Endpoint::Info, sandbox::Sandbox::Fault::Delay, 1500);
    QProcess first;
    first.setWorkingDirectory(m_dir.path());
    first.start(QStringLiteral(VELMOR_TILL_PATH), common() + QStringList{QStringLiteral("replay")});
    ASSERT_TRUE(first.waitForStarted(10000));
    ASSERT_TRUE(m_sandbox.waitForRequests(1, 30000));

    // Other tills name the queue through a symbolic link and through a hard link: still the
    // same queue, and the same lock.
    ASSERT_TRUE(
        QFile::link(path(QStringLiteral("queue.sqlite")), path(QStringLiteral("link.sqlite"))));
    ASSERT_EQ(::link(QFile::encodeName(path(QStringLiteral("queue.sqlite"))).constData(),
                     QFile::encodeName(path(QStringLiteral("hard.sqlite"))).constData()),
              0);
    for (const char *name : {"link.sqlite", "hard.sqlite"}) {
        QStringList throughLink = common();
        throughLink[throughLink.indexOf(path(QStringLiteral("queue.sqlite")))] =
            path(QLatin1String(name));
        const Outcome second = run(throughLink + QStringList{QStringLiteral("replay")});
        EXPECT_EQ(second.exitCode, 1) << name;
        EXPECT_THAT(second.out.toStdString(), IsEmpty()) << name;
        EXPECT_THAT(second.err.toStdString(), HasSubstr("is being replayed by another till"))
            << name;
        EXPECT_THAT(second.err.toStdString(), HasSubstr("nothing was sent")) << name;
    }
    // The lock is the queue file's own: nothing was made beside it that another user of the
    // queue might not open.
    EXPECT_THAT(QDir(m_dir.path())
                    .entryList({QStringLiteral("*.lock")}, QDir::Files)
                    .join(QLatin1Char(','))
                    .toStdString(),
                IsEmpty());

    ASSERT_TRUE(first.waitForFinished(60000));
    EXPECT_EQ(first.exitCode(), 0) << first.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(first.readAllStandardOutput())
                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                  .size(),
              2);

    // Each order got exactly one status request and one refund, from the first replay.
    for (const QString &rrn : orders) {
        int infos = 0;
        int refunds = 0;
        for (const sandbox::Sandbox::RecordedRequest &request : m_sandbox.requests()) {
            infos += request.path.endsWith(QStringLiteral("/%1/info").arg(rrn)) ? 1 : 0;
            refunds += request.path.endsWith(QStringLiteral("/%1/refund").arg(rrn)) ? 1 : 0;
        }
        EXPECT_EQ(infos, 1) << rrn.toStdString();
        EXPECT_EQ(refunds, 1) << rrn.toStdString();
        EXPECT_EQ(m_sandbox.order(rrn).value(QStringLiteral("status")).toString(),
                  QStringLiteral("refunded"));
    }
    EXPECT_THAT(run(common() + QStringList{QStringLiteral("queue")}).out.toStdString(), IsEmpty());
}

TEST_F(TillTest, ReplayLockIsTheQueueFileItselfAndLeavesTheQueueToSales)
{
    const QString rrn = completedSale();
    ASSERT_FALSE(rrn.isEmpty());
    // Another till of the group holds the replay lock: a read-only descriptor of the queue file
    // itself, which is all a user who may read the queue can open.
    const int held = ::open(QFile::encodeName(path(QStringLiteral("queue.sqlite"))).constData(),
                            O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);

    // The lock does not stand in SQLite's way: a cancellation that gets no answer is queued.
    m_sandbox.setFault(sandbox::Sandbox::Endpoint::Refund, sandbox::Sandbox::Fault::Drop);
    const Outcome cancel =
        run(common() + QStringList{QStringLiteral("--receipt"), path(QStringLiteral("sale.json")),
                                   QStringLiteral("cancel"), QStringLiteral("--rrn"), rrn,
                                   QStringLiteral("--amount"), QStringLiteral("200000")});
    ASSERT_EQ(cancel.exitCode, 0) << cancel.err.toStdString();
    m_sandbox.clearFaults();
    m_sandbox.clearRequests();

    const Outcome refused = run(common() + QStringList{QStringLiteral("replay")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_THAT(refused.out.toStdString(), IsEmpty());
    EXPECT_THAT(refused.err.toStdString(), HasSubstr("is being replayed by another till"));
    EXPECT_TRUE(m_sandbox.requests().isEmpty());

    // Once it is let go, the replay takes the lock and sends the message.
    ASSERT_EQ(::close(held), 0);
    const Outcome replay = run(common() + QStringList{QStringLiteral("replay")});
    EXPECT_EQ(replay.exitCode, 0) << replay.err.toStdString();
    ASSERT_EQ(replay.outLines().size(), 1);
    EXPECT_TRUE(parseLine(replay.outLines().first()).value(QStringLiteral("finished")).toBool());
    EXPECT_EQ(m_sandbox.order(rrn).value(QStringLiteral("status")).toString(),
              QStringLiteral("refunded"));
}

TEST_F(TillTest, AnotherMemberOfTheQueuesGroupTakesTheReplayLock)
{
    // The installed till's users share the queue through its group; here "nobody" in group
    // "nogroup" (65534) is that other member.
    if (::geteuid() != 0)
        GTEST_SKIP() << "switching to another user needs root";
    const auto asMember = [this](const QStringList &arguments) {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.start(QStringLiteral("setpriv"),
                      QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                  QStringLiteral("--clear-groups"),
                                  QStringLiteral(VELMOR_TILL_PATH)} +
                          arguments);
        Outcome outcome;
        outcome.finished = process.waitForStarted(10000) && process.waitForFinished(60000);
        outcome.exitCode = process.exitCode();
        outcome.out = QString::fromUtf8(process.readAllStandardOutput());
        outcome.err = QString::fromUtf8(process.readAllStandardError());
        return outcome;
    };
    const QStringList member{QStringLiteral("--config"), path(QStringLiteral("velmor.ini")),
                             QStringLiteral("--queue"), path(QStringLiteral("queue.sqlite"))};
    if (asMember({QStringLiteral("--version")}).exitCode != 0)
        GTEST_SKIP() << "the build tree cannot be reached by another user";

    const QString rrn = completedSale();
    ASSERT_FALSE(rrn.isEmpty());
    m_sandbox.setFault(sandbox::Sandbox::Endpoint::Refund, sandbox::Sandbox::Fault::Drop);
    const Outcome cancel =
        run(common() + QStringList{QStringLiteral("--receipt"), path(QStringLiteral("sale.json")),
                                   QStringLiteral("cancel"), QStringLiteral("--rrn"), rrn,
                                   QStringLiteral("--amount"), QStringLiteral("200000")});
    ASSERT_EQ(cancel.exitCode, 0) << cancel.err.toStdString();
    m_sandbox.clearFaults();
    m_sandbox.clearRequests();
    // The directory and the files as the packages set them up: the group may read and write
    // the queue, and what is made in the directory belongs to the group.
    for (const char *name : {"", "queue.sqlite", "velmor.ini"}) {
        const QByteArray file = QFile::encodeName(path(QLatin1String(name)));
        ASSERT_EQ(::chown(file.constData(), 0, 65534), 0) << name;
    }
    ASSERT_EQ(::chmod(QFile::encodeName(m_dir.path()).constData(), 02770), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path(QStringLiteral("velmor.ini"))).constData(), 0640), 0);

    // A replay by root holds the lock: the member is told so and sends nothing (rather than
    // failing to open a lock file root made).
    const int held = ::open(QFile::encodeName(path(QStringLiteral("queue.sqlite"))).constData(),
                            O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    const Outcome refused = asMember(member + QStringList{QStringLiteral("replay")});
    EXPECT_EQ(refused.exitCode, 1) << refused.err.toStdString();
    EXPECT_THAT(refused.err.toStdString(), HasSubstr("is being replayed by another till"));
    EXPECT_TRUE(m_sandbox.requests().isEmpty());
    ASSERT_EQ(::close(held), 0);

    // Free again, the member takes it and replays.
    const Outcome replay = asMember(member + QStringList{QStringLiteral("replay")});
    EXPECT_EQ(replay.exitCode, 0) << replay.err.toStdString();
    ASSERT_EQ(replay.outLines().size(), 1) << replay.err.toStdString();
    EXPECT_TRUE(parseLine(replay.outLines().first()).value(QStringLiteral("finished")).toBool());
    EXPECT_EQ(m_sandbox.order(rrn).value(QStringLiteral("status")).toString(),
              QStringLiteral("refunded"));
}

// ---- Closed, full or broken standard streams ----

struct StreamCase
{
    const char *name;
    // A /bin/sh script around the till ("$@"); it writes the till's exit status to "status".
    const char *script;
    int exitCode;
    bool answerOnStdout; // else on standard error and in the log
};

void PrintTo(const StreamCase &testCase, std::ostream *os)
{
    *os << testCase.name;
}

class TillStreams : public TillTest, public testing::WithParamInterface<StreamCase>
{
};

TEST_P(TillStreams, NeverCostASaleItsAnswer)
{
    QProcess shell;
    shell.setWorkingDirectory(m_dir.path());
    shell.start(QStringLiteral("/bin/sh"),
                QStringList{QStringLiteral("-c"), QString::fromLatin1(GetParam().script),
                            QStringLiteral("sh"), QStringLiteral(VELMOR_TILL_PATH)} +
                    common() +
                    QStringList{QStringLiteral("--receipt"), path(QStringLiteral("sale.json")),
                                QStringLiteral("sale"), QStringLiteral("--amount"),
                                QStringLiteral("200000"), QStringLiteral("--code"),
                                QString::fromLatin1(sandbox::Sandbox::CodeApprove)});
    ASSERT_TRUE(shell.waitForStarted(10000));
    ASSERT_TRUE(shell.waitForFinished(60000));
    const QString out = QString::fromUtf8(shell.readAllStandardOutput());
    const QString err = QString::fromUtf8(shell.readAllStandardError());
    QFile statusFile(path(QStringLiteral("status")));
    ASSERT_TRUE(statusFile.open(QIODevice::ReadOnly)) << err.toStdString();
    // 128 + 13 here would be SIGPIPE ending the till.
    EXPECT_EQ(statusFile.readAll().trimmed().toInt(), GetParam().exitCode)
        << out.toStdString() << err.toStdString();

    // The service completed exactly one order; its id must be reported somewhere.
    QString rrn;
    for (const sandbox::Sandbox::RecordedRequest &request : m_sandbox.requests()) {
        if (request.path.endsWith(QLatin1String("/create_offline")))
            rrn = QJsonDocument::fromJson(request.body)
                      .object()
                      .value(QStringLiteral("order"))
                      .toObject()
                      .value(QStringLiteral("id"))
                      .toString();
    }
    ASSERT_FALSE(rrn.isEmpty());
    EXPECT_EQ(m_sandbox.order(rrn).value(QStringLiteral("status")).toString(),
              QStringLiteral("completed"));
    const QString answer = QStringLiteral("\"rrn\": \"%1\"").arg(rrn);
    QFile logFile(path(QStringLiteral("till.log")));
    ASSERT_TRUE(logFile.open(QIODevice::ReadOnly));
    const QString log = QString::fromUtf8(logFile.readAll());
    // Nothing meant for a standard stream may land in a file opened on its descriptor.
    EXPECT_THAT(log.toStdString(), testing::Not(HasSubstr("[ 45%]")));
    if (GetParam().answerOnStdout) {
        EXPECT_THAT(out.toStdString(), HasSubstr(answer.toStdString()));
    } else {
        const QStringList lines = err.split(QLatin1Char('\n')).filter(answer);
        ASSERT_EQ(lines.size(), 1) << err.toStdString();
        EXPECT_EQ(parseLine(lines.first()).value(QStringLiteral("status")).toInt(-1), 0);
        EXPECT_THAT(log.toStdString(), HasSubstr(answer.toStdString()));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Redirections, TillStreams,
    testing::Values(
        StreamCase{"StderrClosed", "\"$@\" 2>&-; echo $? >status", 0, true},
        // The reader of standard error is gone long before the sale's last progress line.
        StreamCase{"StderrBrokenPipe",
                   "exec 3>&1; { \"$@\" 2>&1 >&3 3>&-; echo $? >status; } | true", 0, true},
        StreamCase{"StdoutClosed", "\"$@\" >&-; echo $? >status", 3, false},
        StreamCase{"StdoutFull", "\"$@\" >/dev/full; echo $? >status", 3, false},
        // The reader of standard output is gone before the answer is written.
        StreamCase{"StdoutBrokenPipe", "{ \"$@\"; echo $? >status; } | true", 3, false}),
    [](const testing::TestParamInfo<StreamCase> &caseInfo) { return caseInfo.param.name; });

// ---- The queue commands on an empty queue ----

TEST_F(TillTest, QueueOnAnEmptyQueuePrintsNothing)
{
    const Outcome outcome = run(common() + QStringList{QStringLiteral("queue")});
    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    EXPECT_THAT(outcome.out.toStdString(), IsEmpty());
}

TEST_F(TillTest, ReplayOnAnEmptyQueueSucceedsAndSendsNothing)
{
    const Outcome outcome = run(common() + QStringList{QStringLiteral("replay")});
    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    EXPECT_THAT(outcome.out.toStdString(), IsEmpty());
    EXPECT_TRUE(m_sandbox.requests().isEmpty());
}

// ---- The journal ----

struct JournalCase
{
    const char *name;
    QStringList arguments;
    // Whether the configuration names the journal (Velmor:journal); else it is the one in the
    // working directory, where a till run from the build tree keeps it.
    bool named;
    const char *orders; // the order ids listed, in order, between spaces
};

void PrintTo(const JournalCase &testCase, std::ostream *os)
{
    *os << testCase.name;
}

class TillJournal : public TillTest, public testing::WithParamInterface<JournalCase>
{
};

TEST_P(TillJournal, ListsOneLinePerEntry)
{
    const JournalCase &row = GetParam();
    QString journalPath = path(QStringLiteral("journal.sqlite"));
    QStringList arguments = common();
    if (row.named) {
        journalPath = path(QStringLiteral("named-journal.sqlite"));
        QFile config(path(QStringLiteral("velmor.ini")));
        ASSERT_TRUE(config.open(QIODevice::Append));
        config.write(QStringLiteral("[Velmor]\njournal=%1\n").arg(journalPath).toUtf8());
    }
    velmor::Journal journal;
    ASSERT_TRUE(journal.open(journalPath));
    const qint64 answered = journal.recordSale(QStringLiteral("old-sale"), 150050,
                                               QJsonObject{{QStringLiteral("orderId"), 1}});
    ASSERT_TRUE(journal.markAnswered(answered, velmor::Journal::Outcome::Done, 0,
                                     QStringLiteral("old-sale")));
    ASSERT_GT(journal.recordSale(QStringLiteral("open-sale"), 200000,
                                 QJsonObject{{QStringLiteral("orderId"), 2}}),
              0);
    const qint64 refund = journal.recordRefund(QStringLiteral("old-sale"), QStringLiteral("r-1"),
                                               50000, QJsonObject{{QStringLiteral("refundId"), 1}},
                                               QJsonObject{{QStringLiteral("orderId"), 1}});
    ASSERT_TRUE(journal.markAnswered(refund, velmor::Journal::Outcome::Unknown, 6, QString()));
    {
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(journalPath.toUtf8().constData(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db,
                               "UPDATE entries SET recorded = '2026-01-01T08:00:00.000Z' WHERE "
                               "order_id = 'old-sale' AND kind = 'sale'",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }

    const Outcome outcome = run(arguments + QStringList{QStringLiteral("journal")} + row.arguments);
    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    QStringList orders;
    QList<QJsonObject> lines;
    for (const QString &line : outcome.outLines()) {
        lines.append(parseLine(line));
        orders.append(lines.last().value(QStringLiteral("orderId")).toString());
    }
    EXPECT_EQ(orders, QString::fromLatin1(row.orders).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        << outcome.out.toStdString();
    for (const QJsonObject &line : lines) {
        // Members in the order the help gives them.
        EXPECT_EQ(line.keys().size(), 10) << outcome.out.toStdString();
        if (line.value(QStringLiteral("orderId")) == QStringLiteral("old-sale") &&
            line.value(QStringLiteral("kind")) == QStringLiteral("sale")) {
            EXPECT_EQ(line.value(QStringLiteral("amount")).toDouble(), 1500.5);
            EXPECT_EQ(line.value(QStringLiteral("state")).toString(), QStringLiteral("answered"));
            EXPECT_EQ(line.value(QStringLiteral("outcome")).toString(), QStringLiteral("done"));
            EXPECT_EQ(line.value(QStringLiteral("recorded")).toString(),
                      QStringLiteral("2026-01-01T08:00:00.000Z"));
        }
        if (line.value(QStringLiteral("kind")) == QStringLiteral("refund")) {
            EXPECT_EQ(line.value(QStringLiteral("refundId")).toString(), QStringLiteral("r-1"));
            EXPECT_EQ(line.value(QStringLiteral("amount")).toDouble(), 500.0);
            EXPECT_EQ(line.value(QStringLiteral("state")).toString(), QStringLiteral("unknown"));
        }
        if (line.value(QStringLiteral("orderId")) == QStringLiteral("open-sale")) {
            EXPECT_EQ(line.value(QStringLiteral("state")).toString(), QStringLiteral("open"));
            EXPECT_EQ(line.value(QStringLiteral("answered")).toString(), QString());
        }
    }
    if (!outcome.out.isEmpty()) {
        EXPECT_TRUE(outcome.out.startsWith(QLatin1String("{\"id\": ")))
            << outcome.out.toStdString();
    }
    // A listing never sends, and never makes a queue.
    EXPECT_TRUE(m_sandbox.requests().isEmpty());
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("queue.sqlite"))));
}

INSTANTIATE_TEST_SUITE_P(
    Listings, TillJournal,
    testing::Values(JournalCase{"All", {}, false, "old-sale open-sale old-sale"},
                    JournalCase{"Named", {}, true, "old-sale open-sale old-sale"},
                    JournalCase{
                        "OpenOnly", {QStringLiteral("--open")}, false, "open-sale old-sale"},
                    JournalCase{"SinceADay",
                                {QStringLiteral("--since"), QStringLiteral("2026-06-01")},
                                true,
                                "open-sale old-sale"},
                    JournalCase{"SinceBeforeEverything",
                                {QStringLiteral("--since=2025-12-31T23:00:00Z")},
                                false,
                                "old-sale open-sale old-sale"},
                    JournalCase{"SinceTheFuture",
                                {QStringLiteral("--open"), QStringLiteral("--since"),
                                 QStringLiteral("2999-01-01")},
                                false,
                                {}}),
    [](const testing::TestParamInfo<JournalCase> &caseInfo) { return caseInfo.param.name; });

TEST_F(TillTest, JournalWithoutAFileListsNothingAndADamagedOneFails)
{
    Outcome outcome = run(common() + QStringList{QStringLiteral("journal")});
    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    EXPECT_THAT(outcome.out.toStdString(), IsEmpty());
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("journal.sqlite"))));

    ASSERT_TRUE(writeFile(path(QStringLiteral("journal.sqlite")), QByteArray(4096, 'x')));
    outcome = run(common() + QStringList{QStringLiteral("journal")});
    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_THAT(outcome.err.toStdString(),
                HasSubstr(QStringLiteral("till: journal %1: cannot be read")
                              .arg(path(QStringLiteral("journal.sqlite")))
                              .toStdString()));
    // Only the plug-in sets a damaged journal aside; a listing leaves it as it is.
    QFile file(path(QStringLiteral("journal.sqlite")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray(4096, 'x'));
}

// `till queue` writes the stored text as it is when it is compact JSON of an object; a row of
// another writer, or a damaged one, still gives a line that is one JSON object.
TEST_F(TillTest, QueueLinesAreJsonWhateverARowHolds)
{
    const QString queueFile = path(QStringLiteral("queue.sqlite"));
    {
        DBQueueBroker queue(queueFile);
        ASSERT_TRUE(
            queue.addMessage(QStringLiteral("processing"),
                             QJsonObject{{QStringLiteral("orderId"), QStringLiteral("A")},
                                         {QStringLiteral("note"), QStringLiteral("«\"\n»")}},
                             QString()));
    }
    const struct
    {
        const char *type;
        const char *message;
        const char *added;
        QJsonObject shown;
        const char *shownAdded;
    } rows[] = {
        {"proc\"essing", "{ \"orderId\": \"B\",\n  \"n\": 1 }", "2026-12-09T13:00:00.000+03:00",
         QJsonObject{{QStringLiteral("orderId"), QStringLiteral("B")}, {QStringLiteral("n"), 1}},
         "2026-12-09T10:00:00.000Z"},
        {"processing", "{\"orderId\":", "not a time", QJsonObject(), ""},
        {"processing", "[1, 2]", "2026-12-09T10:00:00.000Z", QJsonObject(),
         "2026-12-09T10:00:00.000Z"},
        // A raw tab in a string, which Qt's parser takes and writes escaped, and a time of the
        // stored length with a quote in it.
        {"processing", "{\"orderId\":\"C\td\"}", "2026-12-09T10:00:00.00\"Z",
         QJsonObject{{QStringLiteral("orderId"), QStringLiteral("C\td")}}, ""},
        // Latin-1 where UTF-8 belongs: no parser takes it, so nothing of it is shown.
        {"\xd0\xbf\x1b", "{\"orderId\":\"caf\xe9\"}", "2026-12-09T10:00:00.000Z", QJsonObject(),
         "2026-12-09T10:00:00.000Z"},
    };
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(queueFile).constData(), &db), SQLITE_OK);
    for (const auto &row : rows) {
        sqlite3_stmt *insert = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(
                      db, "INSERT INTO messages (type, message, added) VALUES (?1, ?2, ?3)", -1,
                      &insert, nullptr),
                  SQLITE_OK);
        sqlite3_bind_text(insert, 1, row.type, -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 2, row.message, -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 3, row.added, -1, SQLITE_STATIC);
        EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE);
        sqlite3_finalize(insert);
    }
    sqlite3_close(db);

    const Outcome outcome = run(common() + QStringList{QStringLiteral("queue")});
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    const QStringList lines = outcome.outLines();
    ASSERT_EQ(lines.size(), 6) << outcome.out.toStdString();
    EXPECT_EQ(parseLine(lines.at(0)).value(QStringLiteral("message")).toObject(),
              (QJsonObject{{QStringLiteral("orderId"), QStringLiteral("A")},
                           {QStringLiteral("note"), QStringLiteral("«\"\n»")}}));
    for (int i = 0; i < 5; ++i) {
        const QJsonObject line = parseLine(lines.at(i + 1));
        EXPECT_EQ(line.value(QStringLiteral("type")).toString(), QString::fromUtf8(rows[i].type));
        EXPECT_EQ(line.value(QStringLiteral("message")).toObject(), rows[i].shown) << i;
        EXPECT_EQ(line.value(QStringLiteral("added")).toString(),
                  QString::fromUtf8(rows[i].shownAdded));
        EXPECT_EQ(line.value(QStringLiteral("id")).toInt(), i + 2);
    }
}

TEST_F(TillTest, QueueListsAQueueItCannotWrite)
{
    // A queue file left read-only in a read-only directory: listing it must neither write to
    // the file nor create the journal files SQLite would need for writing.
    const QString dir = path(QStringLiteral("readonly"));
    ASSERT_TRUE(QDir().mkpath(dir));
    const QString queueFile = dir + QStringLiteral("/queue.sqlite");
    {
        DBQueueBroker queue(queueFile);
        ASSERT_TRUE(queue.addMessage(
            QStringLiteral("processing"),
            QJsonObject{{QStringLiteral("orderId"), QStringLiteral("ORDER-RO")}}, QString()))
            << queue.errorString().toStdString();
    }
    ASSERT_FALSE(QFile::exists(queueFile + QStringLiteral("-wal")));
    ASSERT_EQ(::chmod(QFile::encodeName(queueFile).constData(), 0444), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(dir).constData(), 0555), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755), 0);

    // Root writes wherever it likes, so then the till runs as nobody, for whom the modes hold.
    QStringList command;
    if (::geteuid() == 0) {
        const QString setpriv = QStringLiteral("/usr/bin/setpriv");
        if (!QFile::exists(setpriv))
            GTEST_SKIP() << "running as root without setpriv to drop privileges";
        command << setpriv << QStringLiteral("--reuid=65534") << QStringLiteral("--regid=65534")
                << QStringLiteral("--clear-groups");
        // A checkout under a directory only its owner enters (a clone in /root, mode 0700)
        // keeps nobody from the till itself; that says nothing about the queue.
        QProcess reach;
        reach.start(setpriv, command.mid(1)
                                 << QStringLiteral("/usr/bin/test") << QStringLiteral("-x")
                                 << QStringLiteral(VELMOR_TILL_PATH));
        ASSERT_TRUE(reach.waitForFinished(10000));
        if (reach.exitStatus() != QProcess::NormalExit || reach.exitCode() != 0)
            GTEST_SKIP() << "nobody cannot reach " << VELMOR_TILL_PATH
                         << " (a directory above it is closed to others), so the till cannot run "
                            "as a user the modes hold for";
    }
    command << QStringLiteral(VELMOR_TILL_PATH) << QStringLiteral("--config")
            << path(QStringLiteral("velmor.ini")) << QStringLiteral("--queue") << queueFile
            << QStringLiteral("queue");
    QProcess process;
    process.setWorkingDirectory(dir);
    process.start(command.takeFirst(), command);
    ASSERT_TRUE(process.waitForStarted(10000));
    ASSERT_TRUE(process.waitForFinished(30000));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    const QStringList lines = QString::fromUtf8(process.readAllStandardOutput())
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ::chmod(QFile::encodeName(dir).constData(), 0755);
    EXPECT_EQ(process.exitCode(), 0) << err.toStdString();
    ASSERT_EQ(lines.size(), 1) << err.toStdString();
    EXPECT_EQ(parseLine(lines.first())
                  .value(QStringLiteral("message"))
                  .toObject()
                  .value(QStringLiteral("orderId"))
                  .toString(),
              QStringLiteral("ORDER-RO"));
}

TEST_F(TillTest, QueueDefaultsToAFileInTheWorkingDirectoryUnlessConfigured)
{
    const Outcome outcome = run({QStringLiteral("queue")});
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("till-queue.sqlite"))));

    // The host setting names it when --queue does not. Queue and log hold buyers' codes:
    // neither is created readable by everyone.
    ASSERT_TRUE(writeFile(path(QStringLiteral("queued.ini")),
                          QStringLiteral("[Queue]\ndatabase=%1\n")
                              .arg(path(QStringLiteral("configured.sqlite")))
                              .toUtf8()));
    const Outcome configured = run({QStringLiteral("--config"), path(QStringLiteral("queued.ini")),
                                    QStringLiteral("--log"), path(QStringLiteral("private.log")),
                                    QStringLiteral("queue")});
    EXPECT_EQ(configured.exitCode, 0) << configured.err.toStdString();
    for (const char *name : {"configured.sqlite", "private.log"}) {
        const QFileInfo file(path(QLatin1String(name)));
        ASSERT_TRUE(file.exists()) << name;
        EXPECT_FALSE(file.permissions() & (QFileDevice::ReadOther | QFileDevice::WriteOther))
            << name;
    }
}

// ---- Log lines ----

TEST_F(TillTest, LogFileHoldsOneLinePerEvent)
{
    completedSale();
    QFile log(path(QStringLiteral("till.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QStringList lines =
        QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    const QRegularExpression shape(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\."
                                                  "\\d{3}\\S* (TRACE|DEBUG|INFO|WARN|ERROR|FATAL) "
                                                  "velmor [^\\x00-\\x1f\\x7f]*$"));
    for (const QString &line : lines)
        EXPECT_TRUE(shape.match(line).hasMatch()) << line.toStdString();
    EXPECT_TRUE(lines.filter(QStringLiteral("INFO velmor Оплата на сумму 2000.00")).size() == 1);
}

struct EscapeCase
{
    const char *name;
    QString text;
    QString escaped;
};

void PrintTo(const EscapeCase &testCase, std::ostream *os)
{
    *os << testCase.name;
}

class LogWriterEscape : public testing::TestWithParam<EscapeCase>
{
};

TEST_P(LogWriterEscape, KeepsOneEventOnOneLine)
{
    EXPECT_EQ(till::LogWriter::escape(GetParam().text), GetParam().escaped);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LogWriterEscape,
    testing::Values(
        EscapeCase{"Plain", QStringLiteral("Заказ: 42"), QStringLiteral("Заказ: 42")},
        EscapeCase{"LineFeed", QStringLiteral("a\nb"), QStringLiteral("a\\nb")},
        EscapeCase{"CarriageReturn", QStringLiteral("a\r\nb"), QStringLiteral("a\\r\\nb")},
        EscapeCase{"Tab", QStringLiteral("a\tb"), QStringLiteral("a\\tb")},
        EscapeCase{"Escape", QStringLiteral("a\x1b[2Jb"), QStringLiteral("a\\x1b[2Jb")},
        EscapeCase{"Nul", QString(QChar(0)) + QStringLiteral("x"), QStringLiteral("\\x00x")},
        EscapeCase{"Delete", QStringLiteral("\x7f"), QStringLiteral("\\x7f")},
        EscapeCase{"NextLine", QString(QChar(0x85)), QStringLiteral("\\x85")},
        EscapeCase{"LineSeparator", QString(QChar(0x2028)), QStringLiteral("\\u2028")},
        EscapeCase{"Backslash", QStringLiteral("a\\nb"), QStringLiteral("a\\\\nb")}),
    [](const testing::TestParamInfo<EscapeCase> &caseInfo) { return caseInfo.param.name; });

TEST(LogWriter, FormatsTimeLevelLoggerAndText)
{
    Log4Qt::LoggingEvent event{QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9, 10)),
                               Log4Qt::Level::WARN_INT, QStringLiteral("velmor"),
                               QStringLiteral("Ответ:\n{}")};
    EXPECT_EQ(till::LogWriter::formatLine(event),
              QStringLiteral("2024-03-05T07:08:09.010 WARN velmor Ответ:\\n{}"));
}

// ---- Pieces of the till ----

TEST(TillConfig, TakesOnlyTheFileTheTillNamedOnceItNamedOne)
{
    QTemporaryDir dir;
    const QString own = dir.filePath(QStringLiteral("own.ini"));
    const QString installed = dir.filePath(QStringLiteral("installed.ini"));
    ASSERT_TRUE(writeFile(own, "[Velmor]\nurl=http://own\n"));
    ASSERT_TRUE(writeFile(installed, "[Velmor]\nurl=http://installed\nlogin=x\n"));

    till::TillConfig named(own);
    named.loadFile(own);
    named.loadFile(installed);
    EXPECT_EQ(named.getString(QStringLiteral("Velmor:url")), QStringLiteral("http://own"));
    EXPECT_EQ(named.keys(), QStringList{QStringLiteral("Velmor:url")});

    till::TillConfig unnamed{QString()};
    unnamed.loadFile(installed);
    EXPECT_EQ(unnamed.getString(QStringLiteral("Velmor:url")), QStringLiteral("http://installed"));
}

TEST(JsonLine, KeepsTheMembersInTheOrderGiven)
{
    const QString line = till::JsonLine()
                             .add(QStringLiteral("status"), 0)
                             .add(QStringLiteral("message"), QStringLiteral("a \"b\"\n"))
                             .add(QStringLiteral("finished"), true)
                             .toString();
    EXPECT_EQ(line, QStringLiteral("{\"status\": 0, \"message\": \"a \\\"b\\\"\\n\", "
                                   "\"finished\": true}"));

    // Every kind of value reads back as it was given.
    const QJsonObject values{{QStringLiteral("half"), 0.5},
                             {QStringLiteral("negative"), -3},
                             {QStringLiteral("huge"), 1e300},
                             {QStringLiteral("id"), qint64(9007199254740991)},
                             {QStringLiteral("control"), QStringLiteral("\x01\t\\/")},
                             {QStringLiteral("text"), QStringLiteral("Сумма «1»")},
                             {QStringLiteral("none"), QJsonValue::Null},
                             {QStringLiteral("list"), QJsonArray{1, QStringLiteral("x")}},
                             {QStringLiteral("object"), QJsonObject{{QStringLiteral("a"), 1}}}};
    till::JsonLine all;
    for (auto it = values.begin(); it != values.end(); ++it)
        all.add(it.key(), it.value());
    EXPECT_EQ(parseLine(all.toString()), values) << all.toString().toStdString();
}

TEST(CommandLine, TakesGlobalOptionsBeforeAndAfterTheCommand)
{
    till::CommandLine before;
    const Result<> beforeParsed =
        before.parse({QStringLiteral("--config"), QStringLiteral("a.ini"), QStringLiteral("sale"),
                      QStringLiteral("--amount"), QStringLiteral("5"), QStringLiteral("--code"),
                      QStringLiteral("X")});
    ASSERT_TRUE(beforeParsed.ok()) << beforeParsed.error().toStdString();
    till::CommandLine after;
    const Result<> afterParsed =
        after.parse({QStringLiteral("sale"), QStringLiteral("--amount=5"), QStringLiteral("--code"),
                     QStringLiteral("X"), QStringLiteral("--config=a.ini")});
    ASSERT_TRUE(afterParsed.ok()) << afterParsed.error().toStdString();
    for (const till::CommandLine *line : {&before, &after}) {
        EXPECT_EQ(line->command(), QStringLiteral("sale"));
        EXPECT_EQ(line->value(QStringLiteral("config")), QStringLiteral("a.ini"));
        EXPECT_EQ(line->value(QStringLiteral("amount")), QStringLiteral("5"));
        EXPECT_EQ(line->value(QStringLiteral("code")), QStringLiteral("X"));
    }
}

TEST(ConsoleProgress, PrintsOneLinePerChangeWhenNotATerminal)
{
    char *buffer = nullptr;
    size_t size = 0;
    FILE *stream = open_memstream(&buffer, &size);
    ASSERT_NE(stream, nullptr);
    {
        till::ConsoleProgress progress(stream, false);
        progress.setProgressValue(45);
        progress.setProgressText(tr::Tr(QStringLiteral("k"), QStringLiteral("Создание")));
        progress.setProgressValue(70);
        progress.setProgressText(tr::Tr(QStringLiteral("k"), QStringLiteral("Ожидание")));
        // The wait repeats the same progress on every poll.
        progress.setProgressValue(70);
        progress.setProgressText(tr::Tr(QStringLiteral("k"), QStringLiteral("Ожидание")));
        progress.printLine(QStringLiteral("note"));
    }
    std::fclose(stream);
    const QString text = QString::fromUtf8(buffer, int(size));
    std::free(buffer);
    EXPECT_EQ(text, QStringLiteral("[ 45%] Создание\n[ 70%] Ожидание\nnote\n"));
}

TEST(ConsoleProgress, RedrawsABarInPlaceOnATerminal)
{
    char *buffer = nullptr;
    size_t size = 0;
    FILE *stream = open_memstream(&buffer, &size);
    ASSERT_NE(stream, nullptr);
    {
        till::ConsoleProgress progress(stream, true);
        progress.setProgressValue(50);
        progress.setProgressText(tr::Tr(QStringLiteral("k"), QStringLiteral("Ждём")));
        progress.printLine(QStringLiteral("log line"));
        progress.finish();
    }
    std::fclose(stream);
    const QString text = QString::fromUtf8(buffer, int(size));
    std::free(buffer);
    const QString bar = QStringLiteral("\r\x1b[K[############............]  50% Ждём");
    // The bar, cleared for the log line, drawn again below it, and ended by finish().
    EXPECT_TRUE(
        text.endsWith(bar + QStringLiteral("\r\x1b[Klog line\n") + bar + QStringLiteral("\n")))
        << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("\n[")));
}

// ---- The demo ----

TEST_F(TillTest, DemoGoesThroughEveryStepAsExpected)
{
    const Outcome outcome =
        run({QStringLiteral("demo"), QStringLiteral("--log"), path(QStringLiteral("demo.log"))},
            180000);
    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.exitCode, 0) << outcome.out.toStdString() << outcome.err.toStdString();
    EXPECT_THAT(outcome.out.toStdString(), HasSubstr("7 of 7 steps as expected"));
    EXPECT_THAT(outcome.out.toStdString(), testing::Not(HasSubstr("UNEXPECTED")));
}

} // namespace
