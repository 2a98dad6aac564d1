// The merchant's credentials never leave the till in any form: every command is run with
// distinctive credentials, and standard output, standard error, the log file and the queue
// are searched for them, raw, in Base64 and percent-encoded. The log writer must also keep one
// event per line whatever text the receipt or the service brings.

#include "testcerts.h"
#include "tillchild.h"

#include <sandbox/sandbox.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>
#include <httplib.h>

#include <memory>
#include <thread>

namespace {

constexpr int TillTimeoutMs = 30000;

const QString Login = QStringLiteral("Zq7-login-Секрет");
const QString Password = QStringLiteral("Pw9!secret,value");
const QString CertificatePassword = QStringLiteral("Cp4;cert#secret!");

QString quoted(const QString &value)
{
    QString escaped = value;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QJsonObject parseObject(const QString &text)
{
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

// Every form in which a credential could slip out.
QStringList secretForms()
{
    QStringList forms;
    for (const QString &secret : {Login, Password, CertificatePassword}) {
        forms << secret << QString::fromLatin1(QUrl::toPercentEncoding(secret))
              << QString::fromLatin1(secret.toUtf8().toBase64());
    }
    const QByteArray pair = (Login + QLatin1Char(':') + Password).toUtf8();
    forms << QString::fromLatin1(pair.toBase64())
          << QString::fromLatin1(pair.toBase64(QByteArray::Base64UrlEncoding))
          << QString::fromUtf8(pair)
          << QString::fromLatin1(QUrl::toPercentEncoding(QString::fromUtf8(pair)));
    // Parts that survive an escaping or a truncation of the whole.
    forms << QStringLiteral("Zq7-login") << QStringLiteral("Секрет") << QStringLiteral("Pw9!")
          << QStringLiteral("secret,value") << QStringLiteral("cert#secret");
    forms.removeDuplicates();
    return forms;
}

// A log event as the till writes it: ISO time, level, logger, text, all on one line.
const QRegularExpression EventLine(QStringLiteral(
    "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\S* (ALL|TRACE|DEBUG|INFO|WARN|ERROR|"
    "FATAL|OFF) \\S+ .*$"));
// What else the till writes to standard error: progress lines and its own notes.
const QRegularExpression ConsoleLine(QStringLiteral("^(\\[ *\\d+%\\] .*|till: .*)$"));

// A service that answers every request with an error object whose text is `text`. One that
// echoes the credentials, as a proxy quoting the request's Authorization header does, adds the
// header and the login and password it carries to the text.
class ErrorService
{
public:
    explicit ErrorService(const QString &text, bool echoCredentials = false)
    {
        const auto answer = [text, echoCredentials](const httplib::Request &req,
                                                    httplib::Response &res) {
            QString said = text;
            if (echoCredentials) {
                const QString header =
                    QString::fromStdString(req.get_header_value("Authorization"));
                const QString pair = QString::fromUtf8(
                    QByteArray::fromBase64(header.section(QLatin1Char(' '), 1).toLatin1()));
                said += QStringLiteral(" (Authorization: %1; user %2, password \"%3\")")
                            .arg(header, pair.section(QLatin1Char(':'), 0, 0),
                                 pair.section(QLatin1Char(':'), 1));
            }
            const std::string body =
                QJsonDocument(QJsonObject{{QStringLiteral("error"),
                                           QJsonObject{{QStringLiteral("code"),
                                                        QStringLiteral("service_error")},
                                                       {QStringLiteral("text"), said}}}})
                    .toJson(QJsonDocument::Compact)
                    .toStdString();
            res.status = 400;
            res.set_content(body, "application/json");
        };
        m_server.Get(".*", answer);
        m_server.Post(".*", answer);
        m_port = m_server.bind_to_any_port("127.0.0.1");
        if (m_port > 0)
            m_thread = std::thread([this] { m_server.listen_after_bind(); });
    }

    ~ErrorService()
    {
        m_server.stop();
        if (m_thread.joinable())
            m_thread.join();
    }

    QString url() const { return QStringLiteral("http://127.0.0.1:%1/merchant").arg(m_port); }
    bool isListening() const { return m_port > 0; }

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = -1;
};

class SecretsFixture : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        sandbox = std::make_unique<sandbox::Sandbox>(sandboxOptions());
        ASSERT_TRUE(sandbox->start());
        writeConfig(QStringLiteral("velmor.ini"), sandbox->baseUrl());
        writeReceipt(QStringLiteral("sale.json"), QStringLiteral("Чайник"), 0, 0);
        writeReceipt(QStringLiteral("refund.json"), QStringLiteral("Чайник"), 1, 0);
    }

    void TearDown() override
    {
        if (sandbox)
            sandbox->stop();
    }

    static sandbox::Sandbox::Options sandboxOptions()
    {
        sandbox::Sandbox::Options options;
        options.basePath = QStringLiteral("/merchant");
        options.login = Login;
        options.password = Password;
        return options;
    }

    QString file(const QString &name) const { return dir.filePath(name); }

    void writeConfig(const QString &name, const QString &url, const QString &extra = QString())
    {
        QFile config(file(name));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly | QIODevice::Text));
        config.write(QStringLiteral("[Velmor]\nurl=%1\nlogin=%2\npassword=%3\ntimeout=1\n"
                                    "certificatePassword=%4\n%5\n[Velmro]\n"
                                    "infoRequestInterval=0\n")
                         .arg(url, Login, quoted(Password), quoted(CertificatePassword), extra)
                         .toUtf8());
    }

    // Two positions of 1000.00 each: 2 x 500.00 named `name`, and a mug.
    void writeReceipt(const QString &fileName, const QString &name, double firstBack,
                      double secondBack)
    {
        ASSERT_TRUE(writeTwoPositionReceipt(file(fileName), name, firstBack, secondBack));
    }

    // Runs one command to its end and keeps what it wrote; the answer line, parsed.
    QJsonObject run(const QStringList &command, const QString &receipt = QString(),
                    const QString &config = QStringLiteral("velmor.ini"))
    {
        QStringList arguments{QStringLiteral("--config"), file(config),
                              QStringLiteral("--queue"),  file(QStringLiteral("queue.sqlite")),
                              QStringLiteral("--plugin"), QStringLiteral(VELMOR_PLUGIN_PATH)};
        if (logToFile)
            arguments << QStringLiteral("--log") << file(QStringLiteral("till.log"));
        if (!receipt.isEmpty())
            arguments << QStringLiteral("--receipt") << file(receipt);
        TillChild child(arguments + command, dir.path());
        EXPECT_TRUE(child.runToEnd(TillTimeoutMs)) << qPrintable(child.commandLine());
        EXPECT_TRUE(child.exitedNormally());
        outputs << child.output();
        errors << child.errors();
        return parseObject(child.outputLines().value(0));
    }

    QJsonObject sale(const char *code, const QString &receipt = QStringLiteral("sale.json"),
                     const QString &config = QStringLiteral("velmor.ini"))
    {
        return run({QStringLiteral("sale"), QStringLiteral("--amount"), QStringLiteral("200000"),
                    QStringLiteral("--code"), QString::fromLatin1(code)},
                   receipt, config);
    }

    QJsonObject interruptedSale()
    {
        return run({QStringLiteral("sale"), QStringLiteral("--amount"), QStringLiteral("200000"),
                    QStringLiteral("--code"), QString::fromLatin1(sandbox::Sandbox::CodeHold),
                    QStringLiteral("--interrupt-after"), QStringLiteral("0.2")},
                   QStringLiteral("sale.json"));
    }

    QJsonObject refund(const QString &command, const QString &rrn, int kopecks,
                       const QString &receipt)
    {
        return run({command, QStringLiteral("--rrn"), rrn, QStringLiteral("--amount"),
                    QString::number(kopecks)},
                   receipt);
    }

    QString logText() const
    {
        QFile log(file(QStringLiteral("till.log")));
        if (!log.open(QIODevice::ReadOnly))
            return QString();
        return QString::fromUtf8(log.readAll());
    }

    // Every line of the log file is one event; on standard error, log events, progress and
    // the till's own notes.
    void expectOneEventPerLine() const
    {
        if (logToFile) {
            const QString log = logText();
            EXPECT_FALSE(log.isEmpty());
            EXPECT_TRUE(log.endsWith(QLatin1Char('\n')));
            for (const QString &line : log.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
                EXPECT_TRUE(EventLine.match(line).hasMatch()) << "log: " << qPrintable(line);
        }
        for (const QString &text : errors) {
            for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
                EXPECT_TRUE(EventLine.match(line).hasMatch() || ConsoleLine.match(line).hasMatch())
                    << "stderr: " << qPrintable(line);
            }
        }
        for (const QString &text : outputs) {
            for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
                QJsonParseError error{};
                QJsonDocument::fromJson(line.toUtf8(), &error);
                EXPECT_EQ(error.error, QJsonParseError::NoError) << "stdout: " << qPrintable(line);
            }
        }
    }

    QTemporaryDir dir;
    std::unique_ptr<sandbox::Sandbox> sandbox;
    bool logToFile = true;
    QStringList outputs;
    QStringList errors;
};

// ---------------------------------------------------------------------------------------------

enum class Scenario {
    SaleCompleted,
    SaleInterrupted,
    CancellationQueuedAndReplayed,
    Refund,
    RefundQueuedAndReplayed,
    CancelInSaleReceipt,
    ServiceDown,
    ServiceError,
    WrongCredentials,
    CredentialsInTheUrl,
    HttpsWithClientCertificate,
    HttpsWithWrongCertificatePassword,
    Status,
    ServiceEchoesCredentials,
};

struct SecretsCase
{
    const char *name;
    Scenario scenario;
};

class Secrets : public SecretsFixture,
                public testing::WithParamInterface<std::tuple<SecretsCase, bool>>
{
protected:
    void SetUp() override
    {
        logToFile = std::get<1>(GetParam());
        SecretsFixture::SetUp();
    }

    void play(Scenario scenario);

    std::unique_ptr<TestCerts> certs;
    std::unique_ptr<sandbox::Sandbox> other;
    std::unique_ptr<ErrorService> echo;
};

void Secrets::play(Scenario scenario)
{
    switch (scenario) {
    case Scenario::SaleCompleted:
        // The order's whole life, each state logged; the other scenarios' sales are paid at
        // their first poll.
        EXPECT_EQ(sale(sandbox::Sandbox::CodeApprove)[QLatin1String("status")].toInt(-1), 0);
        break;
    case Scenario::SaleInterrupted:
        EXPECT_NE(interruptedSale()[QLatin1String("status")].toInt(0), 0);
        EXPECT_TRUE(errors.last().contains(QStringLiteral("till: the cancellation is accepted")));
        break;
    case Scenario::CancellationQueuedAndReplayed: {
        sandbox->setFault(sandbox::Sandbox::Endpoint::Cancel, sandbox::Sandbox::Fault::Drop);
        const QString rrn = interruptedSale()[QLatin1String("rrn")].toString();
        run({QStringLiteral("queue")});
        EXPECT_EQ(outputs.last().count(QLatin1Char('\n')), 1) << qPrintable(outputs.last());
        sandbox->clearFaults();
        // The sale ended with the cancellation while the order was still on its way; by the
        // time the service is back it has been approved, and the replay cancels it.
        sandbox->setOrderStatus(rrn, QStringLiteral("approved"));
        run({QStringLiteral("replay")});
        EXPECT_TRUE(outputs.last().contains(QStringLiteral("\"finished\": true")));
        break;
    }
    case Scenario::Refund: {
        const QString rrn = sale(sandbox::Sandbox::CodePaid)[QStringLiteral("rrn")].toString();
        EXPECT_EQ(refund(QStringLiteral("refund"), rrn, 50000,
                         QStringLiteral("refund.json"))[QStringLiteral("status")]
                      .toInt(-1),
                  0);
        break;
    }
    case Scenario::Status: {
        const QString rrn = sale(sandbox::Sandbox::CodePaid)[QStringLiteral("rrn")].toString();
        const QJsonObject status =
            run({QStringLiteral("status"), QStringLiteral("--rrn"), rrn}, QString());
        EXPECT_EQ(status[QStringLiteral("status")].toString(), QStringLiteral("completed"))
            << qPrintable(outputs.last());
        break;
    }
    case Scenario::ServiceEchoesCredentials: {
        // A sale made, then every command that shows a service text meets a proxy that
        // repeats the credentials in its error: the sale, the refund, the look-up and the check.
        const QString rrn = sale(sandbox::Sandbox::CodePaid)[QStringLiteral("rrn")].toString();
        echo = std::make_unique<ErrorService>(QStringLiteral("Proxy refused"), true);
        ASSERT_TRUE(echo->isListening());
        writeConfig(QStringLiteral("echo.ini"), echo->url());
        const QJsonObject refused = sale(sandbox::Sandbox::CodePaid, QStringLiteral("sale.json"),
                                         QStringLiteral("echo.ini"));
        EXPECT_NE(refused[QStringLiteral("status")].toInt(0), 0);
        // The text is there, without what it gave away.
        EXPECT_TRUE(refused[QStringLiteral("message")].toString().contains(
            QStringLiteral("Proxy refused (Authorization: Basic ***; user ***, password \"***\")")))
            << qPrintable(outputs.last());
        const QString echoConfig = QStringLiteral("echo.ini");
        const QJsonObject refund = run({QStringLiteral("refund"), QStringLiteral("--rrn"), rrn,
                                        QStringLiteral("--amount"), QStringLiteral("50000")},
                                       QStringLiteral("refund.json"), echoConfig);
        EXPECT_NE(refund[QStringLiteral("status")].toInt(0), 0) << qPrintable(outputs.last());
        EXPECT_TRUE(outputs.last().contains(QStringLiteral("Proxy refused")))
            << qPrintable(outputs.last());
        run({QStringLiteral("status"), QStringLiteral("--rrn"), rrn}, QString(), echoConfig);
        EXPECT_TRUE(outputs.last().contains(QStringLiteral("Proxy refused")))
            << qPrintable(outputs.last());
        run({QStringLiteral("check"), QStringLiteral("--json")}, QString(), echoConfig);
        EXPECT_TRUE(outputs.last().contains(QStringLiteral("Proxy refused")))
            << qPrintable(outputs.last());
        break;
    }
    case Scenario::RefundQueuedAndReplayed: {
        const QString rrn = sale(sandbox::Sandbox::CodePaid)[QStringLiteral("rrn")].toString();
        sandbox->setFault(sandbox::Sandbox::Endpoint::Refund, sandbox::Sandbox::Fault::Drop);
        EXPECT_EQ(refund(QStringLiteral("refund"), rrn, 50000,
                         QStringLiteral("refund.json"))[QStringLiteral("messageKey")]
                      .toString(),
                  QStringLiteral("velmorCancelQueued"));
        run({QStringLiteral("queue")});
        sandbox->clearFaults();
        run({QStringLiteral("replay")});
        EXPECT_TRUE(outputs.last().contains(QStringLiteral("\"finished\": true")));
        break;
    }
    case Scenario::CancelInSaleReceipt: {
        const QString rrn = sale(sandbox::Sandbox::CodePaid)[QStringLiteral("rrn")].toString();
        EXPECT_EQ(refund(QStringLiteral("cancel"), rrn, 200000,
                         QStringLiteral("sale.json"))[QStringLiteral("status")]
                      .toInt(-1),
                  0);
        break;
    }
    case Scenario::ServiceDown: {
        sandbox::Sandbox down(sandboxOptions());
        ASSERT_TRUE(down.start());
        writeConfig(QStringLiteral("down.ini"), down.baseUrl());
        down.stop();
        EXPECT_NE(sale(sandbox::Sandbox::CodePaid, QStringLiteral("sale.json"),
                       QStringLiteral("down.ini"))[QStringLiteral("status")]
                      .toInt(0),
                  0);
        break;
    }
    case Scenario::ServiceError:
        sandbox->setFault(sandbox::Sandbox::Endpoint::Create, sandbox::Sandbox::Fault::ErrorObject);
        EXPECT_NE(sale(sandbox::Sandbox::CodePaid)[QStringLiteral("status")].toInt(0), 0);
        break;
    case Scenario::WrongCredentials: {
        // The service knows other credentials and says so in its answer.
        other = std::make_unique<sandbox::Sandbox>();
        ASSERT_TRUE(other->start());
        writeConfig(QStringLiteral("other.ini"), other->baseUrl());
        EXPECT_NE(sale(sandbox::Sandbox::CodePaid, QStringLiteral("sale.json"),
                       QStringLiteral("other.ini"))[QStringLiteral("status")]
                      .toInt(0),
                  0);
        break;
    }
    case Scenario::CredentialsInTheUrl: {
        // Some installations write the login into the address as well.
        QUrl url(sandbox->baseUrl());
        url.setUserName(Login);
        url.setPassword(Password);
        writeConfig(QStringLiteral("userinfo.ini"), url.toString());
        EXPECT_EQ(sale(sandbox::Sandbox::CodePaid, QStringLiteral("sale.json"),
                       QStringLiteral("userinfo.ini"))[QStringLiteral("status")]
                      .toInt(-1),
                  0)
            << qPrintable(outputs.last());
        break;
    }
    case Scenario::HttpsWithClientCertificate:
    case Scenario::HttpsWithWrongCertificatePassword: {
        certs = std::make_unique<TestCerts>();
        ASSERT_TRUE(certs->createCa(QStringLiteral("ca"))) << qPrintable(certs->errorString());
        ASSERT_TRUE(certs->createServer(QStringLiteral("server"), QStringLiteral("ca"),
                                        {QStringLiteral("127.0.0.1")}))
            << qPrintable(certs->errorString());
        const bool right = scenario == Scenario::HttpsWithClientCertificate;
        ASSERT_TRUE(
            certs->createClient(QStringLiteral("client"), QStringLiteral("ca"),
                                right ? CertificatePassword : QStringLiteral("another-password")))
            << qPrintable(certs->errorString());
        sandbox::Sandbox::Options options = sandboxOptions();
        options.certificateFile = certs->certPath(QStringLiteral("server"));
        options.privateKeyFile = certs->keyPath(QStringLiteral("server"));
        options.clientCaFile = certs->certPath(QStringLiteral("ca"));
        other = std::make_unique<sandbox::Sandbox>(options);
        ASSERT_TRUE(other->start());
        writeConfig(QStringLiteral("tls.ini"), other->baseUrl(),
                    QStringLiteral("certificatePath=%1\n\n[Network]\ncaFile=%2\n")
                        .arg(certs->p12Path(QStringLiteral("client")),
                             certs->certPath(QStringLiteral("ca"))));
        const QJsonObject answer = sale(sandbox::Sandbox::CodePaid, QStringLiteral("sale.json"),
                                        QStringLiteral("tls.ini"));
        if (right)
            EXPECT_EQ(answer[QStringLiteral("status")].toInt(-1), 0) << qPrintable(outputs.last());
        else
            EXPECT_NE(answer[QStringLiteral("status")].toInt(0), 0) << qPrintable(outputs.last());
        break;
    }
    }
}

TEST_P(Secrets, NeverWrittenAnywhere)
{
    play(std::get<0>(GetParam()).scenario);
    ASSERT_FALSE(outputs.isEmpty());

    QStringList forms = secretForms();
    // The header the service actually received, whatever encoding the client chose.
    for (const sandbox::Sandbox *service : {sandbox.get(), other.get()}) {
        if (!service)
            continue;
        for (const sandbox::Sandbox::RecordedRequest &request : service->requests()) {
            const QString authorization = request.headers.value(QStringLiteral("authorization"));
            if (!authorization.isEmpty())
                forms << authorization << authorization.section(QLatin1Char(' '), 1);
        }
    }
    forms.removeDuplicates();

    QFile queue(file(QStringLiteral("queue.sqlite")));
    const QString queueBytes =
        queue.open(QIODevice::ReadOnly) ? QString::fromUtf8(queue.readAll()) : QString();
    const QString log = logText();
    for (const QString &form : forms) {
        for (const QString &text : outputs)
            EXPECT_FALSE(text.contains(form)) << "stdout holds " << qPrintable(form);
        for (const QString &text : errors)
            EXPECT_FALSE(text.contains(form)) << "stderr holds " << qPrintable(form);
        EXPECT_FALSE(log.contains(form)) << "the log holds " << qPrintable(form);
        EXPECT_FALSE(queueBytes.contains(form)) << "the queue holds " << qPrintable(form);
    }
    // The search looked at real log lines.
    EXPECT_TRUE((logToFile ? log : errors.join(QString())).contains(QStringLiteral(" DEBUG ")));
    expectOneEventPerLine();
}

INSTANTIATE_TEST_SUITE_P(
    Commands, Secrets,
    testing::Combine(
        testing::Values(
            SecretsCase{"SaleCompleted", Scenario::SaleCompleted},
            SecretsCase{"SaleInterrupted", Scenario::SaleInterrupted},
            SecretsCase{"CancellationQueuedAndReplayed", Scenario::CancellationQueuedAndReplayed},
            SecretsCase{"Refund", Scenario::Refund},
            SecretsCase{"RefundQueuedAndReplayed", Scenario::RefundQueuedAndReplayed},
            SecretsCase{"CancelInSaleReceipt", Scenario::CancelInSaleReceipt},
            SecretsCase{"ServiceDown", Scenario::ServiceDown},
            SecretsCase{"ServiceError", Scenario::ServiceError},
            SecretsCase{"WrongCredentials", Scenario::WrongCredentials},
            SecretsCase{"CredentialsInTheUrl", Scenario::CredentialsInTheUrl},
            SecretsCase{"HttpsWithClientCertificate", Scenario::HttpsWithClientCertificate},
            SecretsCase{"HttpsWithWrongCertificatePassword",
                        Scenario::HttpsWithWrongCertificatePassword},
            SecretsCase{"Status", Scenario::Status},
            SecretsCase{"ServiceEchoesCredentials", Scenario::ServiceEchoesCredentials}),
        testing::Bool()),
    [](const testing::TestParamInfo<std::tuple<SecretsCase, bool>> &caseInfo) {
        return std::string(std::get<0>(caseInfo.param).name) +
               (std::get<1>(caseInfo.param) ? "_LogFile" : "_LogOnStderr");
    });

// ---------------------------------------------------------------------------------------------

class LogLines : public SecretsFixture, public testing::WithParamInterface<bool>
{
protected:
    void SetUp() override
    {
        logToFile = GetParam();
        SecretsFixture::SetUp();
    }

    QString logOrErrors() const { return logToFile ? logText() : errors.join(QString()); }
};

TEST_P(LogLines, GoodsNameWithLineBreakAndTabStaysInItsEvent)
{
    const QString name = QStringLiteral("Чайник\n2020-01-01T00:00:00.000 ERROR velmor forged\t"
                                        "белый\r\u2028");
    writeReceipt(QStringLiteral("odd-sale.json"), name, 0, 0);
    writeReceipt(QStringLiteral("odd-refund.json"), name, 2, 1);
    const QString rrn =
        sale(sandbox::Sandbox::CodePaid, QStringLiteral("odd-sale.json"))[QStringLiteral("rrn")]
            .toString();
    ASSERT_FALSE(rrn.isEmpty());
    sandbox->setFault(sandbox::Sandbox::Endpoint::Refund, sandbox::Sandbox::Fault::Drop);
    refund(QStringLiteral("refund"), rrn, 200000, QStringLiteral("odd-refund.json"));
    sandbox->clearFaults();
    run({QStringLiteral("queue")});
    run({QStringLiteral("replay")});
    EXPECT_EQ(sandbox->order(rrn)[QStringLiteral("status")].toString(), QStringLiteral("refunded"));

    EXPECT_FALSE(logOrErrors().contains(QStringLiteral("forged\t")));
    expectOneEventPerLine();
}

TEST_P(LogLines, ServiceErrorObjectIsOneEvent)
{
    sandbox->setFault(sandbox::Sandbox::Endpoint::Create, sandbox::Sandbox::Fault::ErrorObject);
    EXPECT_NE(sale(sandbox::Sandbox::CodePaid)[QStringLiteral("status")].toInt(0), 0);
    EXPECT_TRUE(logOrErrors().contains(QStringLiteral(
        "INFO velmor Сервер вернул сообщение об ошибке: Внутренняя ошибка сервиса\n")))
        << qPrintable(logOrErrors());
    expectOneEventPerLine();
}

TEST_P(LogLines, ControlCharactersInAServiceErrorAreEscaped)
{
    const QString text = QStringLiteral("Ошибка\n2020-01-01T00:00:00.000 ERROR velmor forged\t"
                                        "tab\r\x07\x1b[31m\\end\u2028sep\u0085");
    ErrorService service(text);
    ASSERT_TRUE(service.isListening());
    writeConfig(QStringLiteral("error.ini"), service.url());
    const QJsonObject answer =
        sale(sandbox::Sandbox::CodePaid, QStringLiteral("sale.json"), QStringLiteral("error.ini"));
    EXPECT_NE(answer[QStringLiteral("status")].toInt(0), 0);
    // The cashier gets the text itself, inside one JSON line.
    EXPECT_EQ(answer[QStringLiteral("message")].toString(), text) << qPrintable(outputs.last());

    EXPECT_TRUE(logOrErrors().contains(
        QStringLiteral("Сервер вернул сообщение об ошибке: Ошибка\\n2020-01-01T00:00:00.000 ERROR "
                       "velmor forged\\ttab\\r\\x07\\x1b[31m\\\\end\\u2028sep\\x85\n")))
        << qPrintable(logOrErrors());
    expectOneEventPerLine();
}

INSTANTIATE_TEST_SUITE_P(Sinks, LogLines, testing::Bool(),
                         [](const testing::TestParamInfo<bool> &caseInfo) {
                             return std::string(caseInfo.param ? "LogFile" : "LogOnStderr");
                         });

} // namespace
