#pragma once

#include "commandline.h"
#include "exitstatus.h"
#include "optionvalues.h"
#include <result.h>
#include <till/check/setupcheck.h>

#include <QString>
#include <QStringList>

#include <initializer_list>

class PaymentProcessingAnswer;

namespace till {

class Cashier;
class HostEnvironment;

// The till's commands: reads the command line, sets up the host around the plug-in and runs
// one command, ending with one of the exit statuses of exitstatus.h.
class Till
{
public:
    // `arguments` without the program name.
    int run(const QStringList &arguments);

private:
    // What a refund or a cancellation asks of the cashier: the sale's rrn and an amount.
    using SaleOperation = PaymentProcessingAnswer (Cashier::*)(const QString &, int);

    // Whether `arguments` ask for an operation with the service (a sale, a refund, a
    // cancellation or a replay), for which the stop signals stay held.
    static bool asksForOperation(const QStringList &arguments);
    int runCommand(const QStringList &arguments);
    // Prints an answer line on standard output. When that fails, the line goes to standard
    // error and to the log file (if there is one) instead, and the till will exit with
    // AnswerNotDelivered: an approved sale's reference must never be lost without a word.
    void deliver(const QString &line, const HostEnvironment *host = nullptr);
    // The same for lines that are UTF-8 already.
    void deliver(const QByteArray &lines, const HostEnvironment *host = nullptr);
    // Delivers the plug-in's answer; Done when the host would treat it as done, else Refused.
    int deliverAnswer(const PaymentProcessingAnswer &answer, const HostEnvironment &host);
    // Prints `error` and gives the exit status of unusable input.
    int unusable(const QString &error);
    // Fails on the first problem with the command line's values, reading the numbers into
    // m_values on the way.
    Result<> checkArguments();
    // Fails on the first of `names` that is given with an empty file name.
    Result<> checkFileOptions(std::initializer_list<const char *> names) const;
    // Everything but the plug-in; fails on unusable input.
    Result<> prepare(HostEnvironment &host, bool needsReceipt, bool listOnly = false);
    // prepare(), then the plug-in loaded.
    Result<> prepareWithPlugin(HostEnvironment &host, bool needsReceipt);

    // --queue as given (empty when not: see HostEnvironment::queuePath), and --plugin or its
    // default.
    QString queueFile() const;
    QString pluginFile() const;

    int runSale(HostEnvironment &host);
    // `what` names the operation in the till's own lines: "refund", "cancellation".
    int runOnSale(HostEnvironment &host, SaleOperation operation, const char *what);
    // A button of the host's other than the operations (hostbuttons.h), through the plug-in.
    int runButton(HostEnvironment &host, const QString &command);
    int runQueue(HostEnvironment &host);
    int runJournal(HostEnvironment &host);
    int runReplay(HostEnvironment &host);
    int runDemo();
    int runCheck();
    int runMetrics();
    // What check and metrics look at: the files a sale would use.
    SetupCheck::Settings checkSettings() const;

    CommandLine m_commandLine;
    till::OptionValues m_values;
    bool m_answerLost = false;
};

} // namespace till
