#include "till.h"

#include "cashier.h"
#include "catalogue.h"
#include "demo.h"
#include "hostbuttons.h"
#include "hostenvironment.h"
#include "journallisting.h"
#include "metricstext.h"
#include "queuelisting.h"
#include "receiptreader.h"
#include "replaylock.h"
#include "signalhold.h"
#include "standardstreams.h"
#include <config.h>
#include <dbqueuebroker.h>
#include <log4qt/logger.h>
#include <log4qt/logmanager.h>
#include <till/check/setupcheck.h>
#include <velmor/journal.h>
#include <version/version.h>

#include <QDateTime>
#include <QFileInfo>
#include <QSaveFile>

namespace till {

int Till::run(const QStringList &arguments)
{
    // main() holds the stop signals from the start; only an operation keeps them held.
    if (!asksForOperation(arguments))
        SignalHold::release();
    const int status = runCommand(arguments);
    return m_answerLost ? till::AnswerNotDelivered : status;
}

bool Till::asksForOperation(const QStringList &arguments)
{
    CommandLine commandLine;
    if (arguments.contains(QStringLiteral("--version")) || !commandLine.parse(arguments).ok() ||
        commandLine.helpRequested())
        return false;
    const QString command = commandLine.command();
    return command == QLatin1String("sale") || command == QLatin1String("refund") ||
           command == QLatin1String("cancel") || command == QLatin1String("replay");
}

int Till::runCommand(const QStringList &arguments)
{
    if (arguments.isEmpty()) {
        StandardStreams::printError(CommandLine::helpText(QString()));
        return till::Unusable;
    }
    // Wherever it stands, as GNU programs take it: nothing else is done then.
    if (arguments.contains(QStringLiteral("--version"))) {
        deliver(QStringLiteral("till " VELMOR_VERSION));
        return till::Done;
    }
    if (const Result<> parsed = m_commandLine.parse(arguments); !parsed)
        return unusable(parsed.error());
    if (m_commandLine.helpRequested()) {
        deliver(CommandLine::helpText(m_commandLine.command()));
        return till::Done;
    }

    // Before anything is sent, so that an unusable language stops the till with nothing done.
    const QString language = m_commandLine.isSet(QStringLiteral("lang"))
                                 ? m_commandLine.value(QStringLiteral("lang"))
                                 : Catalogue::DefaultLanguage;
    const QString plugin = m_commandLine.isSet(QStringLiteral("plugin"))
                               ? m_commandLine.value(QStringLiteral("plugin"))
                               : HostEnvironment::defaultPluginPath();
    if (const Result<> loaded = Catalogue::shown().load(language, Catalogue::directories(plugin));
        !loaded)
        return unusable(loaded.error());

    const QString command = m_commandLine.command();
    if (command == QLatin1String("demo"))
        return runDemo();
    if (command == QLatin1String("check"))
        return runCheck();
    if (command == QLatin1String("metrics"))
        return runMetrics();

    HostEnvironment host;
    if (HostButtons::isButton(command))
        return runButton(host, command);
    if (command == QLatin1String("journal"))
        return runJournal(host);
    if (command == QLatin1String("queue")) {
        if (const Result<> ready = prepare(host, false, true); !ready)
            return unusable(ready.error());
        return runQueue(host);
    }
    if (const Result<> ready = prepareWithPlugin(host, true); !ready)
        return unusable(ready.error());
    if (command == QLatin1String("sale"))
        return runSale(host);
    if (command == QLatin1String("refund"))
        return runOnSale(host, &Cashier::refund, "refund");
    if (command == QLatin1String("cancel"))
        return runOnSale(host, &Cashier::cancel, "cancellation");
    if (command == QLatin1String("replay"))
        return runReplay(host);
    return unusable(QStringLiteral("command '%1' is not implemented").arg(command));
}

void Till::deliver(const QString &line, const HostEnvironment *host)
{
    deliver(line.toUtf8(), host);
}

void Till::deliver(const QByteArray &lines, const HostEnvironment *host)
{
    const Result<> printed = StandardStreams::printOut(lines);
    if (printed)
        return;
    const QString why = printed.error();
    const QString line = QString::fromUtf8(lines);
    m_answerLost = true;
    StandardStreams::printError(
        QStringLiteral("till: the answer could not be written to standard output (%1); "
                       "here it is:")
            .arg(why));
    StandardStreams::printError(line);
    if (host && host->hasLogFile())
        Log4Qt::LogManager::logger(QStringLiteral("till"))
            ->error(QStringLiteral("The answer could not be written to standard output (%1): %2")
                        .arg(why, line));
}

int Till::deliverAnswer(const PaymentProcessingAnswer &answer, const HostEnvironment &host)
{
    deliver(Cashier::answerLine(answer), &host);
    return Cashier::isSuccess(answer) ? till::Done : till::Refused;
}

int Till::unusable(const QString &error)
{
    StandardStreams::printError(QStringLiteral("till: ") + error);
    return till::Unusable;
}

Result<> Till::checkArguments()
{
    if (const Result<> read = m_values.read(m_commandLine); !read)
        return read;
    for (const char *name : {"code", "rrn"}) {
        if (m_commandLine.isSet(QLatin1String(name)) &&
            m_commandLine.value(QLatin1String(name)).trimmed().isEmpty())
            return ResultError(QStringLiteral("--%1 must not be empty").arg(QLatin1String(name)));
    }
    return checkFileOptions({"config", "receipt", "queue", "plugin", "log"});
}

Result<> Till::checkFileOptions(std::initializer_list<const char *> names) const
{
    for (const char *name : names) {
        if (m_commandLine.isSet(QLatin1String(name)) &&
            m_commandLine.value(QLatin1String(name)).isEmpty())
            return ResultError(QStringLiteral("--%1 must name a file").arg(QLatin1String(name)));
    }
    return ResultOk;
}

Result<> Till::prepare(HostEnvironment &host, bool needsReceipt, bool listOnly)
{
    // Every argument is checked before the plug-in is loaded, so that nothing reaches the
    // service on a command line that is wrong anywhere.
    if (const Result<> arguments = checkArguments(); !arguments)
        return arguments;

    QSharedPointer<Document> document;
    if (needsReceipt && m_commandLine.isSet(QStringLiteral("receipt"))) {
        const Result<QSharedPointer<Document>> receipt =
            ReceiptReader::read(m_commandLine.value(QStringLiteral("receipt")));
        if (!receipt)
            return ResultError(receipt.error());
        document = receipt.value();
    }

    if (const Result<> logging = host.setUpLogging(m_commandLine.value(QStringLiteral("log")));
        !logging)
        return logging;
    const Result<> services =
        host.setUpServices(m_commandLine.value(QStringLiteral("config")), queueFile(), listOnly);
    if (!services)
        return services;
    host.setDocument(document);
    return ResultOk;
}

Result<> Till::prepareWithPlugin(HostEnvironment &host, bool needsReceipt)
{
    if (const Result<> ready = prepare(host, needsReceipt); !ready)
        return ready;
    return host.loadPlugin(pluginFile());
}

QString Till::queueFile() const
{
    return m_commandLine.value(QStringLiteral("queue"));
}

QString Till::pluginFile() const
{
    return m_commandLine.value(QStringLiteral("plugin"), HostEnvironment::defaultPluginPath());
}

int Till::runSale(HostEnvironment &host)
{
    Cashier::SaleOptions options;
    options.amount = m_values.amount;
    options.code = m_commandLine.value(QStringLiteral("code"));
    options.interruptAfterMs = m_values.interruptAfterMs;
    options.interruptOnSignal = true;

    // The signals stay held until the answer is out (see SignalHold); while the sale runs they
    // press its cancel button.
    Cashier cashier(host.processing(), &host.progress());
    const int status = deliverAnswer(cashier.sale(options), host);
    if (SignalHold::wasSignalled())
        StandardStreams::printError(
            QStringLiteral("till: %1 came as the sale ended, which was finished and its answer "
                           "printed; stopping")
                .arg(QLatin1String(SignalHold::name(SignalHold::signal()))));
    return status;
}

int Till::runOnSale(HostEnvironment &host, SaleOperation operation, const char *what)
{
    // A refund the service made must reach the cashier's screen: a till ended in between
    // leaves no answer, the cashier refunds again, and the buyer gets the money twice. The
    // signals have been held since the till started (SignalHold).
    Cashier cashier(host.processing(), &host.progress());
    const int status = deliverAnswer(
        (cashier.*operation)(m_commandLine.value(QStringLiteral("rrn")), m_values.amount), host);
    if (SignalHold::wasSignalled())
        StandardStreams::printError(
            QStringLiteral("till: %1 came during the %2, which was "
                           "finished and its answer printed; stopping")
                .arg(QLatin1String(SignalHold::name(SignalHold::signal())), QLatin1String(what)));
    return status;
}

int Till::runButton(HostEnvironment &host, const QString &command)
{
    // Loaded and initialised as a host would: the plug-in may hand what a till that died left
    // to the queue at init, so the queue is there too.
    if (const Result<> ready = prepareWithPlugin(host, false); !ready)
        return unusable(ready.error());
    const QString orderId = m_commandLine.value(QStringLiteral("rrn"));
    const PaymentProcessingAnswer answer = HostButtons::press(
        *host.processing(), command, orderId, m_commandLine.isSet(QStringLiteral("short")));
    host.progress().finish();
    if (command == QLatin1String("status")) {
        deliver(HostButtons::statusLine(orderId, answer), &host);
        return answer.isSuccess() ? till::Done : till::Refused;
    }
    deliver(HostButtons::answerLine(answer), &host);
    return Cashier::isSuccess(answer) ? till::Done : till::Refused;
}

int Till::runQueue(HostEnvironment &host)
{
    const Result<> listed = QueueListing::write(
        *host.queue(), [this, &host](const QByteArray &lines) { deliver(lines, &host); });
    if (!listed) {
        StandardStreams::printError(QStringLiteral("till: ") + listed.error());
        return till::Refused;
    }
    return till::Done;
}

int Till::runJournal(HostEnvironment &host)
{
    if (const Result<> arguments = checkArguments(); !arguments)
        return unusable(arguments.error());
    QDateTime since;
    if (m_commandLine.isSet(QStringLiteral("since"))) {
        const QString text = m_commandLine.value(QStringLiteral("since")).trimmed();
        const QDate day = QDate::fromString(text, Qt::ISODate);
        since = day.isValid() ? QDateTime(day, QTime(0, 0), Qt::UTC)
                              : QDateTime::fromString(text, Qt::ISODateWithMs);
        if (!since.isValid())
            return unusable(
                QStringLiteral("--since takes a date (2026-12-01) or an ISO time, not '%1'")
                    .arg(text));
    }
    // Only the configuration, for the key that may name the journal: the listing needs no
    // receipt, no queue and no plug-in, and creates none of their files.
    const QString config = m_commandLine.value(QStringLiteral("config"));
    if (const Result<> logging = host.setUpLogging(m_commandLine.value(QStringLiteral("log")));
        !logging)
        return unusable(logging.error());
    if (const Result<> configured =
            config.isEmpty() ? host.setUpInstalledConfig() : host.setUpConfig(config);
        !configured)
        return unusable(configured.error());
    const Result<QByteArray> lines =
        JournalListing::read(*host.config(), since, m_commandLine.isSet(QStringLiteral("open")));
    if (!lines) {
        StandardStreams::printError(QStringLiteral("till: ") + lines.error());
        return till::Refused;
    }
    if (!lines.value().isEmpty())
        deliver(lines.value(), &host);
    return till::Done;
}

int Till::runReplay(HostEnvironment &host)
{
    // Two replays at once would both send every pending message; the second one says so and
    // sends nothing rather than waiting behind a replay that may take long.
    ReplayLock lock(host.queue()->databasePath());
    const Result<ReplayLock::State> taken = lock.take();
    if (!taken)
        return unusable(taken.error());
    switch (taken.value()) {
    case ReplayLock::Taken:
        break;
    case ReplayLock::Busy:
        StandardStreams::printError(
            QStringLiteral("till: queue %1 is being replayed by another till (it holds the "
                           "queue's lock); nothing was sent, replay again once it is done")
                .arg(host.queue()->databasePath()));
        return till::Refused;
    }
    // Each message is a cancellation or a refund: the one in flight is finished and its line
    // printed, and a stop signal (held since the till started) only keeps the rest from being
    // offered.
    Cashier cashier(host.processing(), &host.progress());
    bool allDone = true;
    int notOffered = 0;
    cashier.replay(
        host.queue(),
        [this, &host, &allDone](const Cashier::ReplayResult &result) {
            deliver(Cashier::replayLine(result), &host);
            allDone = allDone && result.finished && result.recorded;
        },
        [] { return SignalHold::wasSignalled(); }, &notOffered);
    if (SignalHold::wasSignalled()) {
        const QString signal = QLatin1String(SignalHold::name(SignalHold::signal()));
        if (notOffered > 0)
            StandardStreams::printError(
                QStringLiteral("till: replay stopped on %1: %2 queued message(s) not "
                               "offered, they stay in the queue for the next replay")
                    .arg(signal)
                    .arg(notOffered));
        else
            StandardStreams::printError(
                QStringLiteral("till: %1 came during the replay's last message, which was "
                               "finished and its line printed; stopping")
                    .arg(signal));
    }
    return allDone && notOffered == 0 ? till::Done : till::Refused;
}

int Till::runDemo()
{
    for (const char *name : {"queue", "receipt"}) {
        if (m_commandLine.isSet(QLatin1String(name)))
            return unusable(QStringLiteral("demo brings its own queue and receipts; --%1 does "
                                           "not apply")
                                .arg(QLatin1String(name)));
    }
    const QString config = m_commandLine.value(QStringLiteral("config"));
    if (!config.isEmpty() && !QFileInfo(config).isReadable())
        return unusable(QStringLiteral("config %1: cannot be read").arg(config));
    Demo demo(pluginFile(), m_commandLine.value(QStringLiteral("log")), config);
    const Result<bool> asExpected = demo.run();
    if (!asExpected)
        return unusable(asExpected.error());
    return asExpected.value() ? till::Done : till::Refused;
}

SetupCheck::Settings Till::checkSettings() const
{
    SetupCheck::Settings settings;
    // Without --config, the file a sale would read.
    settings.configGiven = m_commandLine.isSet(QStringLiteral("config"));
    settings.configFile = settings.configGiven ? m_commandLine.value(QStringLiteral("config"))
                                               : HostEnvironment::installedConfigPath();
    Config config;
    config.loadFile(settings.configFile);
    settings.queueFile = HostEnvironment::queuePath(queueFile(), config);
    settings.journalFile = velmor::Journal::defaultPath(&config);
    settings.pluginFile = pluginFile();
    settings.messageText = [](const tr::Tr &message) { return Catalogue::shown().text(message); };
    return settings;
}

int Till::runCheck()
{
    if (const Result<> files = checkFileOptions({"config", "queue", "plugin"}); !files)
        return unusable(files.error());
    const bool json = m_commandLine.isSet(QStringLiteral("json"));
    SetupCheck check(checkSettings());
    const QVector<CheckResult> results = check.run([json](const CheckResult &result) {
        StandardStreams::printOut(json ? result.toJson() : result.toText());
    });
    return SetupCheck::anyFailed(results) ? till::Refused : till::Done;
}

int Till::runMetrics()
{
    if (const Result<> files = checkFileOptions({"config", "queue", "plugin", "textfile"}); !files)
        return unusable(files.error());
    SetupCheck check(checkSettings());
    const QVector<CheckResult> results = check.run();
    const QString text = MetricsText::exposition(results, check.queueFigures(),
                                                 check.journalFigures(), check.pluginVersion());
    if (!m_commandLine.isSet(QStringLiteral("textfile"))) {
        // The text ends with its own line break.
        deliver(text.left(text.size() - 1));
        return till::Done;
    }
    // A collector reading while the file is written must see the old text or the new, never
    // half of it: the text goes to a file beside PATH, which then takes PATH's place.
    const QString path = m_commandLine.value(QStringLiteral("textfile"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        StandardStreams::printError(QStringLiteral("till: metrics %1: cannot be written: %2")
                                        .arg(path, file.errorString()));
        return till::Refused;
    }
    // The collector runs as a user of its own: the text holds no secret and must be readable.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);
    file.write(text.toUtf8());
    if (!file.commit()) {
        StandardStreams::printError(QStringLiteral("till: metrics %1: cannot be written: %2")
                                        .arg(path, file.errorString()));
        return till::Refused;
    }
    return till::Done;
}

} // namespace till
