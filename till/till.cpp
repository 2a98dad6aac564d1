#include "till.h"

#include "cashier.h"
#include "catalogue.h"
#include "demo.h"
#include "hostenvironment.h"
#include "metricstext.h"
#include "receiptreader.h"
#include "replaylock.h"
#include "signalhold.h"
#include "standardstreams.h"
#include "statusquery.h"
#include <config.h>
#include <dbqueuebroker.h>
#include <log4qt/logger.h>
#include <log4qt/logmanager.h>
#include <till/check/jsonline.h>
#include <till/check/setupcheck.h>
#include <velmor/journal.h>
#include <velmor/rounding.h>
#include <version/version.h>

#include <QDateTime>
#include <QFileInfo>
#include <QJsonObject>
#include <QSaveFile>

#include <charconv>
#include <cstring>
#include <iterator>
#include <string_view>

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
    if (arguments.contains(QStringLiteral("--version")) || !commandLine.parse(arguments) ||
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
    if (!m_commandLine.parse(arguments))
        return unusable(m_commandLine.errorString());
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
    if (!Catalogue::shown().load(language, Catalogue::directories(plugin)))
        return unusable(Catalogue::shown().errorString());

    const QString command = m_commandLine.command();
    if (command == QLatin1String("demo"))
        return runDemo();
    if (command == QLatin1String("check"))
        return runCheck();
    if (command == QLatin1String("metrics"))
        return runMetrics();

    HostEnvironment host;
    if (command == QLatin1String("status"))
        return runStatus(host);
    if (command == QLatin1String("journal"))
        return runJournal(host);
    if (command == QLatin1String("queue")) {
        if (!prepare(host, false, true))
            return till::Unusable;
        return runQueue(host);
    }
    if (!prepare(host, true) || !preparePlugin(host))
        return till::Unusable;
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
    QString why;
    if (StandardStreams::printOut(lines, &why))
        return;
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

QString Till::argumentError()
{
    QString error;
    if (!m_values.read(m_commandLine, &error))
        return error;
    for (const char *name : {"code", "rrn"}) {
        if (m_commandLine.isSet(QLatin1String(name)) &&
            m_commandLine.value(QLatin1String(name)).trimmed().isEmpty())
            return QStringLiteral("--%1 must not be empty").arg(QLatin1String(name));
    }
    return emptyFileOption({"config", "receipt", "queue", "plugin", "log"});
}

QString Till::emptyFileOption(std::initializer_list<const char *> names) const
{
    for (const char *name : names) {
        if (m_commandLine.isSet(QLatin1String(name)) &&
            m_commandLine.value(QLatin1String(name)).isEmpty())
            return QStringLiteral("--%1 must name a file").arg(QLatin1String(name));
    }
    return QString();
}

bool Till::prepare(HostEnvironment &host, bool needsReceipt, bool listOnly)
{
    // Every argument is checked before the plug-in is loaded, so that nothing reaches the
    // service on a command line that is wrong anywhere.
    const QString error = argumentError();
    if (!error.isEmpty()) {
        unusable(error);
        return false;
    }

    QSharedPointer<Document> document;
    if (needsReceipt && m_commandLine.isSet(QStringLiteral("receipt"))) {
        ReceiptReader reader;
        if (!reader.read(m_commandLine.value(QStringLiteral("receipt")))) {
            unusable(reader.errorString());
            return false;
        }
        document = reader.document();
    }

    if (!host.setUpLogging(m_commandLine.value(QStringLiteral("log"))) ||
        !host.setUpServices(m_commandLine.value(QStringLiteral("config")), queueFile(), listOnly)) {
        unusable(host.errorString());
        return false;
    }
    host.setDocument(document);
    return true;
}

bool Till::preparePlugin(HostEnvironment &host)
{
    if (!host.loadPlugin(pluginFile())) {
        unusable(host.errorString());
        return false;
    }
    return true;
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

int Till::runStatus(HostEnvironment &host)
{
    // Only the configuration and the log: a look-up needs no receipt, no queue and no plug-in,
    // and creates none of their files.
    const QString error = argumentError();
    if (!error.isEmpty())
        return unusable(error);
    // Without --config, the file the plug-in would read, read as the plug-in reads it.
    const QString config = m_commandLine.value(QStringLiteral("config"));
    if (!host.setUpLogging(m_commandLine.value(QStringLiteral("log"))) ||
        !(config.isEmpty() ? host.setUpInstalledConfig() : host.setUpConfig(config)))
        return unusable(host.errorString());
    StatusQuery query(*host.config());
    const bool answered = query.run(m_commandLine.value(QStringLiteral("rrn")));
    deliver(query.line(), &host);
    return answered ? till::Done : till::Refused;
}

namespace {

// The queue stores UTC with milliseconds, "2026-12-09T10:00:00.000Z", which is what the line
// shows; a text of that form, digits where digits go, needs no escaping.
bool isStoredUtcTime(std::string_view stored)
{
    const char *const form = "dddd-dd-ddTdd:dd:dd.dddZ";
    if (stored.size() != std::strlen(form))
        return false;
    for (size_t i = 0; i < stored.size(); ++i) {
        if (form[i] == 'd' ? stored[i] < '0' || stored[i] > '9' : stored[i] != form[i])
            return false;
    }
    return true;
}

void appendNumber(QByteArray &line, qint64 number)
{
    char digits[24];
    const auto written = std::to_chars(std::begin(digits), std::end(digits), number);
    line.append(digits, int(written.ptr - digits));
}

// A stored time not in the stored form, read as a time and written so, or empty when it is
// none.
QString rewrittenTime(std::string_view stored)
{
    const QDateTime time = QDateTime::fromString(
        QString::fromUtf8(stored.data(), int(stored.size())), Qt::ISODateWithMs);
    return time.isValid() ? time.toUTC().toString(Qt::ISODateWithMs) : QString();
}

} // namespace

int Till::runQueue(HostEnvironment &host)
{
    // Each message is written as it is read, so that a queue that grew over a day offline is
    // listed in the memory of one message. Lines go out some 16 KiB at a time: a write and a
    // flush per line cost more than reading the queue, and a write as large as a pipe's
    // buffer (64 KiB) waits each time until the reader has emptied it.
    const int ChunkSize = 16 * 1024;
    QByteArray chunk;
    chunk.reserve(ChunkSize + 4096);
    const bool read = host.queue()->readStoredMessages(
        [this, &host, &chunk](const DBQueueBroker::StoredMessage &message) {
            // JsonLine's line, written in UTF-8 piece by piece from the row's own text: the
            // message is JSON already.
            chunk += "{\"id\": ";
            appendNumber(chunk, message.id);
            chunk += ", \"type\": ";
            JsonLine::appendQuoted(chunk, message.type);
            chunk += ", \"added\": ";
            if (isStoredUtcTime(message.added))
                JsonLine::appendQuoted(chunk, message.added);
            else
                chunk += JsonLine::quoted(rewrittenTime(message.added)).toUtf8();
            chunk += ", \"attempts\": ";
            appendNumber(chunk, message.attempts);
            chunk += ", \"message\": ";
            chunk.append(message.messageJson.data(), int(message.messageJson.size()));
            chunk += "}\n";
            if (chunk.size() >= ChunkSize) {
                deliver(chunk, &host);
                // Keeps the reserved buffer, where clear() would give it back.
                chunk.resize(0);
            }
            return true;
        });
    if (!chunk.isEmpty())
        deliver(chunk, &host);
    // An unreadable queue is not an empty one.
    if (!read) {
        StandardStreams::printError(
            QStringLiteral("till: queue %1: cannot be read: %2")
                .arg(host.queue()->databasePath(), host.queue()->errorString()));
        return till::Refused;
    }
    return till::Done;
}

int Till::runJournal(HostEnvironment &host)
{
    const QString error = argumentError();
    if (!error.isEmpty())
        return unusable(error);
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
    if (!host.setUpLogging(m_commandLine.value(QStringLiteral("log"))) ||
        !(config.isEmpty() ? host.setUpInstalledConfig() : host.setUpConfig(config)))
        return unusable(host.errorString());
    const QString path = velmor::Journal::defaultPath(host.config());
    // A till that never recorded anything has no journal yet: nothing to list.
    if (!QFileInfo::exists(path))
        return till::Done;
    velmor::Journal journal;
    QList<velmor::Journal::Entry> entries;
    if (!journal.open(path, velmor::Journal::OpenMode::ReadOnly) ||
        !journal.readEntries(since, m_commandLine.isSet(QStringLiteral("open")), &entries)) {
        StandardStreams::printError(QStringLiteral("till: journal %1: cannot be read: %2")
                                        .arg(path, journal.errorString()));
        return till::Refused;
    }
    const auto timeText = [](const QDateTime &time) {
        return time.isValid() ? time.toUTC().toString(Qt::ISODateWithMs) : QString();
    };
    QByteArray lines;
    for (const velmor::Journal::Entry &entry : qAsConst(entries)) {
        JsonLine line;
        line.add(QStringLiteral("id"), double(entry.id))
            .add(QStringLiteral("kind"), velmor::Journal::kindName(entry.kind))
            .add(QStringLiteral("orderId"), entry.orderId)
            .add(QStringLiteral("refundId"), entry.refundId)
            .add(QStringLiteral("amount"), velmor::roublesOf(entry.amountKopecks))
            .add(QStringLiteral("state"), velmor::Journal::stateName(entry.state))
            .add(QStringLiteral("outcome"), velmor::Journal::outcomeName(entry.outcome))
            .add(QStringLiteral("recorded"), timeText(entry.recorded))
            .add(QStringLiteral("answered"), timeText(entry.answered))
            .add(QStringLiteral("resolved"), timeText(entry.resolved));
        lines += line.toString().toUtf8() + '\n';
    }
    if (!lines.isEmpty())
        deliver(lines, &host);
    return till::Done;
}

int Till::runReplay(HostEnvironment &host)
{
    // Two replays at once would both send every pending message; the second one says so and
    // sends nothing rather than waiting behind a replay that may take long.
    ReplayLock lock(host.queue()->databasePath());
    switch (lock.take()) {
    case ReplayLock::Taken:
        break;
    case ReplayLock::Busy:
        StandardStreams::printError(
            QStringLiteral("till: queue %1 is being replayed by another till (it holds the "
                           "queue's lock); nothing was sent, replay again once it is done")
                .arg(host.queue()->databasePath()));
        return till::Refused;
    case ReplayLock::Failed:
        return unusable(lock.errorString());
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
    const int status = demo.run();
    if (status == till::Unusable)
        StandardStreams::printError(QStringLiteral("till: ") + demo.errorString());
    return status;
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
    const QString error = emptyFileOption({"config", "queue", "plugin"});
    if (!error.isEmpty())
        return unusable(error);
    const bool json = m_commandLine.isSet(QStringLiteral("json"));
    SetupCheck check(checkSettings());
    const QVector<CheckResult> results = check.run([json](const CheckResult &result) {
        StandardStreams::printOut(json ? result.toJson() : result.toText());
    });
    return SetupCheck::anyFailed(results) ? till::Refused : till::Done;
}

int Till::runMetrics()
{
    const QString error = emptyFileOption({"config", "queue", "plugin", "textfile"});
    if (!error.isEmpty())
        return unusable(error);
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
