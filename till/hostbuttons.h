#pragma once

#include "commandline.h"

#include <QString>
#include <QVector>

class BasicPaymentProcessing;
class PaymentProcessingAnswer;

namespace till {

// The host's other buttons as till commands: each calls one slot of the processing interface
// through the loaded plug-in, as a host's menu item does, and prints the answer line. The
// print images (the slip, the report, the reconciliation's lines) go in that line as the JSON
// array "printImages", one string per printed line.
class HostButtons
{
public:
    // test-connection, status, reconcile, report and print-copy, for the command line.
    static QVector<CommandLine::Command> commands();
    // Whether `command` is one of them (status included).
    static bool isButton(const QString &command);
    // Presses the button `command` names, with `orderId` for status and `shortReport` for
    // report: the slot's answer.
    static PaymentProcessingAnswer press(BasicPaymentProcessing &processing, const QString &command,
                                         const QString &orderId, bool shortReport);
    // The till's answer line (Cashier::answerLine), with "printImages" when there are any.
    static QString answerLine(const PaymentProcessingAnswer &answer);
    // The line of `till status` from getPaymentByQRCodeStatus's answer: {"rrn", "status",
    // "amount", "refunded"} (roubles) about the order, else {"rrn", "error", "message",
    // "httpCode"}.
    static QString statusLine(const QString &orderId, const PaymentProcessingAnswer &answer);
};

} // namespace till
