#include "hostbuttons.h"

#include "cashier.h"
#include "catalogue.h"
#include <till/check/jsonline.h>

#include <basicpaymentprocessing.h>

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

namespace till {

namespace {

const char *const PrintImagesHelp =
    "The answer line is {\"status\": N, \"message\": \"...\", \"messageKey\": \"...\", \"rrn\": "
    "\"...\",\n\"paymentMethod\": N, \"printImages\": [\"...\", ...]}: \"printImages\" holds the "
    "lines the host\nwould print, one string each, and is left out when there are none.";

QString withPrintImagesHelp(const QString &text)
{
    return text + QStringLiteral("\n") + QLatin1String(PrintImagesHelp);
}

} // namespace

QVector<CommandLine::Command> HostButtons::commands()
{
    return {
        {QStringLiteral("test-connection"),
         QStringLiteral("the plug-in's connection test"),
         withPrintImagesHelp(QStringLiteral(
             "Calls the plug-in's testConnection: one status request for an order nobody has "
             "made,\nwith the configured address, credentials, TLS and timeout. Success when the "
             "service\nanswers that it knows no such order; otherwise the message says which of "
             "unreachable,\nTLS, timed out, refused credentials or a meaningless answer it met. "
             "Nothing is created,\ncancelled or queued. Exit status 0 on success, 1 "
             "otherwise.")),
         {}},
        {QStringLiteral("status"),
         QStringLiteral("ask the service about a sale's order"),
         QStringLiteral(
             "Calls the plug-in's getPaymentByQRCodeStatus for the order with reference ID "
             "(one status\nrequest) and prints one line: {\"rrn\": \"...\", \"status\": \"...\", "
             "\"amount\": N, \"refunded\": N},\nin roubles, \"refunded\" the sum of the order's "
             "refunds. Changes nothing: look an order\nup before repeating a refund or a "
             "cancellation. When the service answers with an error\nor gives no usable answer: "
             "{\"rrn\": \"...\", \"error\": \"...\", \"message\": \"...\", \"httpCode\": N},\n"
             "\"error\" being the service's error code or saying that no usable answer came. Exit "
             "status\n0 when the service answered about the order, 1 otherwise, 2 for unusable "
             "arguments\n(nothing is sent then). It needs no receipt."),
         {{QStringLiteral("rrn"), QStringLiteral("ID"),
           QStringLiteral("reference of the sale: the rrn its answer gave"), true}}},
        {QStringLiteral("reconcile"),
         QStringLiteral("reconcile the day's operations with the service"),
         withPrintImagesHelp(QStringLiteral(
             "Calls the plug-in's checkTotals: every order of the day's journal is asked about "
             "once and\nheld against what the till recorded. Status 0 when everything agrees, 6 "
             "when mismatches\nwere found or orders could not be asked (the message lists them), "
             "1 when the service\ncould not be asked at all. Exit status 0 for 0 and 6, else "
             "1.")),
         {}},
        {QStringLiteral("report"),
         QStringLiteral("the day's operations from the journal"),
         withPrintImagesHelp(QStringLiteral(
             "Calls the plug-in's printReport (printShortReport with --short): the day's "
             "operations\nfrom the journal, totals by kind, and with the full report a line per "
             "operation. Sends\nnothing. Exit status 0 when the journal was read, else 1.")),
         {{QStringLiteral("short"), QString(), QStringLiteral("only the totals by kind"), false,
           true}}},
        {QStringLiteral("print-copy"),
         QStringLiteral("the last slip again, marked as a copy"),
         withPrintImagesHelp(QStringLiteral(
             "Calls the plug-in's printCopy: the last slip printed, again, from the journal. "
             "Sends\nnothing. Exit status 0 when there was one, else 1.")),
         {}},
    };
}

bool HostButtons::isButton(const QString &command)
{
    const QVector<CommandLine::Command> buttons = commands();
    return std::any_of(
        buttons.begin(), buttons.end(),
        [&command](const CommandLine::Command &button) { return button.name == command; });
}

PaymentProcessingAnswer HostButtons::press(BasicPaymentProcessing &processing,
                                           const QString &command, const QString &orderId,
                                           bool shortReport)
{
    if (command == QLatin1String("test-connection"))
        return processing.testConnection();
    if (command == QLatin1String("status"))
        return processing.getPaymentByQRCodeStatus(orderId);
    if (command == QLatin1String("reconcile"))
        return processing.checkTotals(0);
    if (command == QLatin1String("report"))
        return shortReport ? processing.printShortReport() : processing.printReport();
    return processing.printCopy(0);
}

QString HostButtons::answerLine(const PaymentProcessingAnswer &answer)
{
    const QString line = Cashier::answerLine(answer);
    const QStringList images = answer.getPrintImages();
    if (images.isEmpty())
        return line;
    // The answer line's object with one more key: its closing brace gives way to it.
    return line.left(line.lastIndexOf(QLatin1Char('}'))) + QStringLiteral(", \"printImages\": ") +
           QString::fromUtf8(
               QJsonDocument(QJsonArray::fromStringList(images)).toJson(QJsonDocument::Compact)) +
           QLatin1Char('}');
}

QString HostButtons::statusLine(const QString &orderId, const PaymentProcessingAnswer &answer)
{
    const QVariantMap data = answer.getAdditionalData();
    if (answer.isSuccess())
        return JsonLine()
            .add(QStringLiteral("rrn"), orderId)
            .add(QStringLiteral("status"), data.value(QStringLiteral("status")).toString())
            .add(QStringLiteral("amount"), answer.getSum())
            .add(QStringLiteral("refunded"), data.value(QStringLiteral("refunded")).toDouble())
            .toString();
    QString error = data.value(QStringLiteral("error")).toString();
    if (error == QLatin1String("noAnswer"))
        error = QStringLiteral("no answer from the service");
    else if (error == QLatin1String("noUsableAnswer"))
        error = QStringLiteral("no usable answer from the service");
    else if (error.isEmpty())
        error = QStringLiteral("service error without a code");
    return JsonLine()
        .add(QStringLiteral("rrn"), orderId)
        .add(QStringLiteral("error"), error)
        .add(QStringLiteral("message"), Catalogue::shown().text(answer.getMessage()))
        .add(QStringLiteral("httpCode"), data.value(QStringLiteral("httpCode")).toInt())
        .toString();
}

} // namespace till
