#include "demo.h"

#include "cashier.h"
#include "hostenvironment.h"
#include "receiptreader.h"
#include "standardstreams.h"
#include <config.h>
#include <dbqueuebroker.h>
#include <document.h>
#include <sandbox/sandbox.h>
#include <velmor/clientsettings.h>

#include <QFile>
#include <QTemporaryDir>

namespace till {

namespace {

// What the demo's receipts hold; the refunds and the cancellation return parts of it.
const QString KettleArticul = QStringLiteral("KETTLE-1");
const QString KettleName = QStringLiteral("Чайник электрический");
const QString MugArticul = QStringLiteral("MUG-2");
const QString MugName = QStringLiteral("Кружка");

// A value as it goes between double quotes in an ini file.
QString quoted(const QString &value)
{
    QString text = value;
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    text.replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return text;
}

QSharedPointer<Document> receipt(const QVector<ReceiptReader::Position> &positions)
{
    auto document = QSharedPointer<Document>::create();
    double total = 0.0;
    for (const ReceiptReader::Position &position : positions) {
        document->addGoodsItem(ReceiptReader::goodsItem(position));
        total += position.sumb;
    }
    document->setTotalSum(total);
    return document;
}

} // namespace

Demo::Demo(const QString &pluginFile, const QString &logFile, const QString &configFile)
    : m_pluginFile(pluginFile), m_logFile(logFile), m_configFile(configFile)
{}

Result<bool> Demo::run()
{
    sandbox::Sandbox::Options options;
    int timeout = 5;
    if (!m_configFile.isEmpty()) {
        // The example configuration's credentials; the service itself is the local one.
        Config given;
        given.loadFile(m_configFile, QString());
        const QString login = given.getString(velmor::clientkeys::Login);
        const QString password = given.getString(velmor::clientkeys::Password);
        if (!login.isEmpty())
            options.login = login;
        if (!password.isEmpty())
            options.password = password;
        timeout = given.getInt(velmor::clientkeys::Timeout, timeout);
    }
    sandbox::Sandbox sandbox(options);
    if (!sandbox.start())
        return ResultError(
            QStringLiteral("demo: the local service cannot listen on a loopback port"));

    QTemporaryDir directory;
    if (!directory.isValid())
        return ResultError(
            QStringLiteral("demo: no temporary directory: %1").arg(directory.errorString()));
    const QString configFile = directory.filePath(QStringLiteral("velmor.ini"));
    QFile config(configFile);
    if (!config.open(QIODevice::WriteOnly | QIODevice::Text))
        return ResultError(QStringLiteral("demo: %1: %2").arg(configFile, config.errorString()));
    // The status poll interval lives under "Velmro", the section the plug-in reads it from.
    config.write(QStringLiteral("[Velmor]\nurl=%1\nlogin=\"%2\"\npassword=\"%3\"\ntimeout=%4\n"
                                "certificatePath=\ncertificatePassword=\n\n"
                                "[Velmro]\ninfoRequestInterval=1\n")
                     .arg(sandbox.baseUrl(), quoted(options.login), quoted(options.password),
                          QString::number(timeout))
                     .toUtf8());
    config.close();

    HostEnvironment host;
    const Result<> setUp = host.setUp(
        m_logFile, configFile, directory.filePath(QStringLiteral("queue.sqlite")), m_pluginFile);
    if (!setUp)
        return ResultError(setUp.error());
    Cashier cashier(host.processing(), &host.progress());
    StandardStreams::printOut(QStringLiteral("Local Velmor service at %1").arg(sandbox.baseUrl()));

    heading(QStringLiteral("a sale that completes"));
    host.setDocument(receipt(
        {{1, KettleArticul, KettleName, 1, 0, 1500.0}, {2, MugArticul, MugName, 1, 0, 500.0}}));
    Cashier::SaleOptions sale;
    sale.amount = 200000;
    sale.code = QString::fromLatin1(sandbox::Sandbox::CodeApprove);
    PaymentProcessingAnswer answer = cashier.sale(sale);
    show(answer);
    const QString rrn = answer.getRRN();
    verdict(answer.getStatus() == PaymentProcessingAnswer::Success && !rrn.isEmpty(),
            QStringLiteral("status 0 with the order id as rrn"));

    heading(QStringLiteral("a sale that the service rejects"));
    sale.code = QString::fromLatin1(sandbox::Sandbox::CodeReject);
    answer = cashier.sale(sale);
    show(answer);
    verdict(answer.getStatus() == PaymentProcessingAnswer::Failure, QStringLiteral("status 1"));

    heading(QStringLiteral("a sale that the cashier interrupts after 2 seconds"));
    sale.code = QString::fromLatin1(sandbox::Sandbox::CodeHold);
    sale.interruptAfterMs = 2000;
    bool interrupted = false;
    answer = cashier.sale(sale, &interrupted);
    show(answer);
    verdict(interrupted && !Cashier::isSuccess(answer), QStringLiteral("interrupted and not paid"));

    heading(QStringLiteral("a refund of the mug from the completed sale"));
    host.setDocument(receipt({{2, MugArticul, MugName, 1, 1, 500.0}}));
    answer = cashier.refund(rrn, 50000);
    show(answer);
    verdict(Cashier::isSuccess(answer), QStringLiteral("status 0 or 6"));

    heading(QStringLiteral("a refund of three kettles where one was bought"));
    host.setDocument(receipt({{1, KettleArticul, KettleName, 3, 3, 4500.0}}));
    answer = cashier.refund(rrn, 450000);
    show(answer);
    verdict(!Cashier::isSuccess(answer), QStringLiteral("refused"));

    heading(QStringLiteral("cancelling the rest of the sale while the service drops every "
                           "refund"));
    sandbox.setFault(sandbox::Sandbox::Endpoint::Refund, sandbox::Sandbox::Fault::Drop);
    host.setDocument(receipt({{1, KettleArticul, KettleName, 1, 0, 1500.0}}));
    answer = cashier.cancel(rrn, 150000);
    show(answer);
    const int queued = host.queue()->pendingMessages().size();
    StandardStreams::printOut(QStringLiteral("messages in the queue: %1").arg(queued));
    verdict(answer.getStatus() == PaymentProcessingAnswer::SuccessWithMessage && queued == 1,
            QStringLiteral("status 6 and one message in the queue"));

    heading(QStringLiteral("the replay once the service answers again"));
    sandbox.clearFaults();
    bool allFinished = true;
    const QVector<Cashier::ReplayResult> results =
        cashier.replay(host.queue(), [&allFinished](const Cashier::ReplayResult &result) {
            StandardStreams::printOut(Cashier::replayLine(result));
            allFinished = allFinished && result.finished && result.recorded;
        });
    const int left = host.queue()->pendingMessages().size();
    StandardStreams::printOut(QStringLiteral("messages in the queue: %1").arg(left));
    verdict(!results.isEmpty() && allFinished && left == 0,
            QStringLiteral("every message finished and the queue empty"));

    StandardStreams::printOut(
        QStringLiteral("\n%1 of %2 steps as expected").arg(m_passed).arg(m_step));
    return m_passed == m_step;
}

void Demo::heading(const QString &title)
{
    ++m_step;
    StandardStreams::printOut(QStringLiteral("\n== Step %1: %2").arg(m_step).arg(title));
}

void Demo::show(const PaymentProcessingAnswer &answer)
{
    StandardStreams::printOut(Cashier::answerLine(answer));
}

void Demo::verdict(bool asExpected, const QString &expectation)
{
    if (asExpected)
        ++m_passed;
    StandardStreams::printOut(asExpected
                                  ? QStringLiteral("-> as expected: %1").arg(expectation)
                                  : QStringLiteral("-> UNEXPECTED: wanted %1").arg(expectation));
}

} // namespace till
