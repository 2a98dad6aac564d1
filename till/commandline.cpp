#include "commandline.h"

#include "hostbuttons.h"

namespace till {

namespace {

QString formatOptions(const QVector<CommandLine::Option> &options)
{
    int width = 0;
    QStringList heads;
    for (const CommandLine::Option &option : options) {
        heads << (option.flag ? QStringLiteral("--") + option.name
                              : QStringLiteral("--%1 %2").arg(option.name, option.valueName));
        width = qMax(width, heads.last().size());
    }
    QString text;
    for (int i = 0; i < options.size(); ++i) {
        text += QStringLiteral("  %1  %2%3\n")
                    .arg(heads.at(i), -width)
                    .arg(options.at(i).help)
                    .arg(options.at(i).required ? QStringLiteral(" (required)") : QString());
    }
    return text;
}

QString usageLine(const CommandLine::Command &command)
{
    QString line = QStringLiteral("till [global options] ") + command.name;
    for (const CommandLine::Option &option : command.options) {
        const QString part = option.flag
                                 ? QStringLiteral("--") + option.name
                                 : QStringLiteral("--%1 %2").arg(option.name, option.valueName);
        line += option.required ? QStringLiteral(" ") + part : QStringLiteral(" [%1]").arg(part);
    }
    return line;
}

} // namespace

const QVector<CommandLine::Command> &CommandLine::commands()
{
    // The sale and the operations on a sale share these.
    static const Option AmountOption = {
        QStringLiteral("amount"), QStringLiteral("KOPECKS"),
        QStringLiteral("amount in kopecks, a positive whole number"), true};
    static const Option RrnOption = {
        QStringLiteral("rrn"), QStringLiteral("ID"),
        QStringLiteral("reference of the sale: the rrn its answer gave"), true};
    static const QVector<Command> Operations = {
        {QStringLiteral("sale"),
         QStringLiteral("pay the current receipt by instalments"),
         QStringLiteral(
             "Sends a sale (request type 1) of AMOUNT kopecks with the buyer's scanned code "
             "through\n"
             "the plug-in's payment and waits for its outcome. Progress goes to standard error.\n"
             "A stop signal (Ctrl-C, Ctrl-\\, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2, SIGALRM) during "
             "the\n"
             "sale interrupts it as the cashier's cancel button would. The till then ends with "
             "the\n"
             "sale, once the cancellation is confirmed or queued and the answer is printed; "
             "further\n"
             "signals do not stop it earlier (after an unconfirmed cancellation they try it "
             "again)."),
         {AmountOption,
          {QStringLiteral("code"), QStringLiteral("TEXT"),
           QStringLiteral("the scanned QR code of the buyer"), true},
          {QStringLiteral("interrupt-after"), QStringLiteral("SECONDS"),
           QStringLiteral("interrupt the sale after this many seconds"), false}}},
        {QStringLiteral("refund"),
         QStringLiteral("refund a paid sale with a refund receipt"),
         QStringLiteral(
             "Sends a refund receipt (request type 3) for the sale with reference ID through the\n"
             "plug-in's payment. The positions returned come from --receipt (their \"bquant\").\n"
             "Stop signals (Ctrl-C, Ctrl-\\, SIGTERM, ...) do not cut the refund short: the till "
             "ends\n"
             "once its answer is printed."),
         {RrnOption, AmountOption}},
        {QStringLiteral("cancel"),
         QStringLiteral("cancel a payment inside its sale receipt"),
         QStringLiteral(
             "Cancels the sale with reference ID (request type 1) through the plug-in's cancel. "
             "When\n"
             "the service does not answer, the cancellation is queued and finished by \"replay\". "
             "Stop\n"
             "signals (Ctrl-C, Ctrl-\\, SIGTERM, ...) do not cut it short: the till ends once its\n"
             "answer is printed."),
         {RrnOption, AmountOption}},
        {QStringLiteral("queue"),
         QStringLiteral("list the messages waiting in the queue"),
         QStringLiteral("Prints each pending queue message as one JSON object per line, oldest "
                        "first:\n{\"id\": N, \"type\": \"processing\", \"added\": \"<ISO "
                        "time>\", \"attempts\": N, \"message\": {...}}"),
         {}},
        {QStringLiteral("journal"),
         QStringLiteral("list the plug-in's journal of sales and refunds"),
         QStringLiteral(
             "Prints each entry of the plug-in's journal (Velmor:journal of the configuration, "
             "else\njournal.sqlite in the state directory) as one JSON object per line, oldest "
             "first:\n{\"id\": N, \"kind\": \"sale|refund\", \"orderId\": \"...\", "
             "\"refundId\": \"...\", \"amount\": N, \"state\": \"...\",\n\"outcome\": "
             "\"...\", \"recorded\": \"<ISO time>\", \"answered\": \"...\", \"resolved\": "
             "\"...\"}, the amount in\nroubles, the state open (no answer yet), answered, unknown "
             "(a refund whose outcome is\nnot known), reversal-queued (handed to the queue by a "
             "start after its till ended) or\nfinished (the replay finished it); times in UTC, "
             "empty when not reached. The journal is\nopened read-only. Exit status 0 when it "
             "was read (a till without a journal yet lists\nnothing), 1 when it cannot be read, "
             "2 for unusable arguments."),
         {{QStringLiteral("since"), QStringLiteral("DATE"),
           QStringLiteral("only entries recorded since DATE (2026-12-01, midnight UTC, or an ISO "
                          "time)"),
           false},
          {QStringLiteral("open"), QString(),
           QStringLiteral("only entries whose outcome is not known: open, unknown, "
                          "reversal-queued"),
           false, true}}},
        {QStringLiteral("replay"),
         QStringLiteral("hand the queued messages back to the plug-in"),
         QStringLiteral(
             "Offers every pending queue message, oldest first, to the plug-in. A message the\n"
             "plug-in reports finished is removed; the others get an attempt recorded. Prints\n"
             "{\"id\": N, \"orderId\": \"...\", \"finished\": true|false} per message. Exit status "
             "0 when\n"
             "every message finished, 1 otherwise. One replay of a queue runs at a time (it locks\n"
             "the queue file): a second one sends nothing, says so and exits with 1. A stop "
             "signal\n"
             "(Ctrl-C, Ctrl-\\, SIGTERM, ...) lets the message in flight finish and print its "
             "line,\n"
             "then stops the replay: the messages not offered stay in the queue, and the exit "
             "status\n"
             "is 1."),
         {}},
        {QStringLiteral("check"),
         QStringLiteral("find what is wrong with the till's set-up"),
         QStringLiteral(
             "Checks, in order: the configuration file and every key the plug-in reads, "
             "the client\ncertificate and Network:caFile, the service's host name, "
             "connection and TLS handshake,\nthe credentials (one status request for an "
             "order that does not exist), the queue\nand the journal (opened read-only; "
             "entries left by a till that ended are a warning)\nand the plug-in. "
             "Prints one line per check: ok, warn, fail or\nskipped, what it found, and for "
             "warn and fail what to do. Changes nothing. Exit status\n0 when no check "
             "failed, 1 otherwise, 2 for unusable arguments."),
         {{QStringLiteral("json"), QString(),
           QStringLiteral("one JSON object per check: {\"check\", \"result\", \"detail\", "
                          "\"hint\"}"),
           false, true}}},
        {QStringLiteral("metrics"),
         QStringLiteral("the till's state for a fleet's monitoring"),
         QStringLiteral(
             "Runs the checks of \"check\" and prints the till's state in the Prometheus "
             "text exposition\nformat: velmor_queue_messages, velmor_queue_oldest_age_seconds "
             "and\nvelmor_queue_most_attempts (0 when no message waits), velmor_queue_readable, "
             "the journal's\nvelmor_journal_open_entries, velmor_journal_reversals_queued, "
             "velmor_journal_oldest_reversal_age_seconds\nand velmor_journal_readable, "
             "velmor_queue_held_messages{reason=\"order_not_found|exceeding\"}\n(queued "
             "refunds a replay keeps until people act),\none "
             "velmor_check_result{check=\"...\",result=\"ok|warn|fail|skipped\"}\nseries "
             "per check and outcome (1 on the outcome it had), and velmor_plugin_info{version="
             "\"...\"} 1. With\n--textfile the text replaces PATH at once (written beside it, "
             "then renamed), for\nnode_exporter's textfile collector; run it from cron or a "
             "timer. Sends what \"check\" sends\nand changes nothing else. Exit status 0 when "
             "the text was written, whatever the checks\nfound; 1 when PATH could not be "
             "written; 2 for unusable arguments."),
         {{QStringLiteral("textfile"), QStringLiteral("PATH"),
           QStringLiteral("write the text to PATH (a .prom file) instead of standard output"),
           false}}},
        {QStringLiteral("demo"),
         QStringLiteral("walk through every operation on a local service"),
         QStringLiteral(
             "Starts a local Velmor service in the till, writes a configuration and "
             "a queue of its\nown into a temporary directory, and walks through a "
             "completed, a rejected and an\ninterrupted sale, a partial refund, a "
             "refund beyond what was bought, a cancellation\nwhile the service is "
             "down and its replay. Exit status 0 when every step gave the\nexpected "
             "outcome. With --config, the login, password and timeout come from that file\n"
             "(the url always points at the local service). --queue and --receipt do "
             "not apply."),
         {}},
        {QStringLiteral("help"),
         QStringLiteral("show the help of a command"),
         QStringLiteral("Shows the help of the command named after it, or this overview."),
         {}},
    };
    // The host's other buttons after the operations on a sale.
    static const QVector<Command> Commands = [] {
        QVector<Command> all = Operations.mid(0, 3);
        all += HostButtons::commands();
        all += Operations.mid(3);
        return all;
    }();
    return Commands;
}

const QVector<CommandLine::Option> &CommandLine::globalOptions()
{
    static const QVector<Option> Options = {
        {QStringLiteral("config"), QStringLiteral("FILE"),
         QStringLiteral("the plug-in's ini file (url, login, password, ...; default: the "
                        "installed one the plug-in reads)")},
        {QStringLiteral("receipt"), QStringLiteral("FILE"),
         QStringLiteral("the current receipt as JSON; without it there is none")},
        {QStringLiteral("queue"), QStringLiteral("FILE"),
         QStringLiteral("the queue database (default: Queue:database of the configuration, "
                        "else the installed till's, else till-queue.sqlite here)")},
        {QStringLiteral("plugin"), QStringLiteral("FILE"),
         QStringLiteral("the plug-in library (default: ../plugins/libvelmor.so next to the "
                        "till, else the installed one)")},
        {QStringLiteral("log"), QStringLiteral("FILE"),
         QStringLiteral("append the plug-in's log lines there (default: standard error)")},
        {QStringLiteral("lang"), QStringLiteral("LANGUAGE"),
         QStringLiteral("language of the answers' messages and the progress: ru (default) or "
                        "en")},
    };
    return Options;
}

Result<> CommandLine::parse(const QStringList &arguments)
{
    m_command.clear();
    m_help = false;
    m_values.clear();

    // First the command, so that its options are known wherever they stand. Every option
    // takes a value, so the word after an option without "=" is never the command.
    QStringList words;
    QVector<QPair<QString, QString>> options; // name, value; value null when missing
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help")) {
            m_help = true;
            continue;
        }
        if (argument.startsWith(QLatin1String("--")) && argument.size() > 2) {
            const int equals = argument.indexOf(QLatin1Char('='));
            if (isFlag(argument.mid(2, equals > 0 ? equals - 2 : -1))) {
                // A flag never takes the next word, which may be the command.
                if (equals > 0)
                    return ResultError(
                        QStringLiteral("--%1 takes no value").arg(argument.mid(2, equals - 2)));
                options.append({argument.mid(2), QStringLiteral("")});
            } else if (equals > 0) {
                options.append({argument.mid(2, equals - 2), argument.mid(equals + 1)});
            } else if (i + 1 < arguments.size()) {
                options.append({argument.mid(2), arguments.at(i + 1)});
                ++i;
            } else {
                options.append({argument.mid(2), QString()});
            }
            continue;
        }
        if (argument.startsWith(QLatin1Char('-')) && argument.size() > 1)
            return ResultError(QStringLiteral("unknown option '%1'").arg(argument));
        words.append(argument);
    }

    if (!words.isEmpty()) {
        if (!findCommand(words.first()))
            return ResultError(
                QStringLiteral("unknown command '%1' (see 'till --help')").arg(words.first()));
        m_command = words.takeFirst();
    }
    if (m_command == QLatin1String("help")) {
        // "till help sale" is "till sale --help".
        m_help = true;
        m_command.clear();
        if (!words.isEmpty()) {
            if (!findCommand(words.first()))
                return ResultError(
                    QStringLiteral("unknown command '%1' (see 'till --help')").arg(words.first()));
            m_command = words.takeFirst();
        }
    }
    if (!words.isEmpty())
        return ResultError(QStringLiteral("unexpected argument '%1'").arg(words.first()));

    const Command *command = findCommand(m_command);
    for (const auto &option : options) {
        const bool known = findOption(globalOptions(), option.first) ||
                           (command && findOption(command->options, option.first));
        if (!known) {
            return ResultError(command
                                   ? QStringLiteral("%1 has no option --%2 (see 'till %1 --help')")
                                         .arg(m_command, option.first)
                                   : QStringLiteral("unknown option --%1").arg(option.first));
        }
        if (option.second.isNull())
            return ResultError(QStringLiteral("--%1 needs a value").arg(option.first));
        if (m_values.contains(option.first))
            return ResultError(QStringLiteral("--%1 is given twice").arg(option.first));
        m_values.insert(option.first, option.second);
    }

    if (m_help)
        return ResultOk;
    if (!command)
        return ResultError(QStringLiteral("no command given (see 'till --help')"));
    for (const Option &option : command->options) {
        if (option.required && !m_values.contains(option.name))
            return ResultError(
                QStringLiteral("%1 needs --%2 (see 'till %1 --help')").arg(m_command, option.name));
    }
    return ResultOk;
}

QString CommandLine::helpText(const QString &commandName)
{
    const Command *command = findCommand(commandName);
    if (!command) {
        QString text = QStringLiteral("Usage: till [global options] COMMAND [options]\n\n"
                                      "A command-line till that drives the Velmor payment "
                                      "plug-in.\n\nCommands:\n");
        int width = 0;
        for (const Command &entry : commands())
            width = qMax(width, entry.name.size());
        for (const Command &entry : commands())
            text += QStringLiteral("  %1  %2\n").arg(entry.name, -width).arg(entry.summary);
        text += QStringLiteral("\nGlobal options (before or after the command):\n") +
                formatOptions(globalOptions()) +
                QStringLiteral("  --help          show the help of the command\n"
                               "  --version       print the till's version and exit\n\n"
                               "Answers go to standard output as JSON, one object per line; "
                               "progress and\nlog lines go to standard error. Exit status: 0 "
                               "success, 1 the service said no\nor the operation failed, 2 "
                               "unusable arguments or files, 3 an answer could not be\nwritten "
                               "to standard output (it is then on standard error and in the "
                               "--log file).\n");
        return text;
    }
    QString text =
        QStringLiteral("Usage: %1\n\n%2\n").arg(usageLine(*command), command->description);
    if (!command->options.isEmpty())
        text += QStringLiteral("\nOptions:\n") + formatOptions(command->options);
    text += QStringLiteral("\nGlobal options:\n") + formatOptions(globalOptions());
    if (command->name == QLatin1String("sale") || command->name == QLatin1String("refund") ||
        command->name == QLatin1String("cancel"))
        text += QStringLiteral("\nPrints the answer as {\"status\": N, \"message\": \"...\", "
                               "\"messageKey\": \"...\", \"rrn\": \"...\",\n\"paymentMethod\": "
                               "N}. Exit status: 0 when the status is 0 or 6, 1 otherwise, 2 "
                               "for\nunusable arguments or files (nothing is sent then), 3 when "
                               "the answer could not be\nwritten to standard output (closed, "
                               "full or a broken pipe; it is then on standard\nerror and in the "
                               "--log file).\n");
    return text;
}

const CommandLine::Command *CommandLine::findCommand(const QString &name)
{
    for (const Command &command : commands()) {
        if (command.name == name)
            return &command;
    }
    return nullptr;
}

const CommandLine::Option *CommandLine::findOption(const QVector<Option> &options,
                                                   const QString &name)
{
    for (const Option &option : options) {
        if (option.name == name)
            return &option;
    }
    return nullptr;
}

bool CommandLine::isFlag(const QString &name)
{
    for (const Command &command : commands()) {
        const Option *option = findOption(command.options, name);
        if (option && option->flag)
            return true;
    }
    return false;
}

} // namespace till
