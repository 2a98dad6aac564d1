#include "soakrun.h"

#include "ledgerchecker.h"
#include "runstablerow.h"

#include <httplib.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <functional>

#include <signal.h>

namespace {

const QString Approve = QStringLiteral("VELMOR-APPROVE");
const QString Reject = QStringLiteral("VELMOR-REJECT");
const QString Paid = QStringLiteral("VELMOR-PAID");
const QString ServiceCancel = QStringLiteral("VELMOR-SERVICE-CANCEL");
const QString Hold = QStringLiteral("VELMOR-HOLD");

// Exchanges take at most the till's timeout; polls come every interval.
constexpr int TillTimeoutSeconds = 2;
constexpr int InfoIntervalSeconds = 1;
// A drawn delay holds its answer past the till's timeout.
constexpr int ChaosDelayMs = 2500;

// A sale that has not ended after this long has the cashier press cancel, again and again;
// one that outlives the limit is killed and reported as hung.
constexpr int SaleGiveUpMs = 20000;
constexpr int SaleGiveUpAgainMs = 8000;
constexpr int SaleLimitMs = 150000;
constexpr int OperationLimitMs = 60000;
constexpr int ReplayLimitMs = 300000;
constexpr int FinalReplayRounds = 12;

const QString FileRecord = QStringLiteral("record.json");
const QString FileLedger = QStringLiteral("ledger.json");

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

// The answer line a till printed last: {"status", "messageKey", "rrn"}; empty when none.
QJsonObject answerLine(const QString &output)
{
    const QStringList lines = output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (int i = lines.size() - 1; i >= 0; --i) {
        const QJsonObject line = QJsonDocument::fromJson(lines.at(i).toUtf8()).object();
        if (line.contains(QStringLiteral("status")))
            return QJsonObject{
                {QStringLiteral("status"), line.value(QStringLiteral("status"))},
                {QStringLiteral("messageKey"), line.value(QStringLiteral("messageKey"))},
                {QStringLiteral("rrn"), line.value(QStringLiteral("rrn"))}};
    }
    return {};
}

// The order a sale created, from the line its log writes before anything is sent.
QString orderIdInLog(const QString &log)
{
    static const QRegularExpression Line(QStringLiteral("Заказ: ([0-9a-f-]{36})"));
    const QRegularExpressionMatch match = Line.match(log);
    return match.hasMatch() ? match.captured(1) : QString();
}

QString joined(const std::map<QString, int> &counts)
{
    std::vector<std::pair<QString, int>> sorted(counts.begin(), counts.end());
    std::sort(sorted.begin(), sorted.end(),
              [](const auto &a, const auto &b) { return a.second > b.second; });
    QStringList parts;
    for (const auto &entry : sorted)
        parts << QStringLiteral("%1 %2").arg(entry.first).arg(entry.second);
    return parts.isEmpty() ? QStringLiteral("none") : parts.join(QStringLiteral(", "));
}

} // namespace

SoakRun::SoakRun(const Settings &settings) : m_settings(settings), m_random(settings.seed) {}

SoakRun::~SoakRun()
{
    for (const auto &lane : m_lanes) {
        if (lane->process && lane->process->state() != QProcess::NotRunning) {
            lane->process->kill();
            lane->process->waitForFinished(5000);
        }
    }
    stopSandbox();
}

int SoakRun::uniform(int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(m_random);
}

bool SoakRun::chance(int percent)
{
    return uniform(0, 99) < percent;
}

void SoakRun::note(const QString &perturbation)
{
    ++m_perturbationCounts[perturbation];
}

bool SoakRun::startSandbox()
{
    const quint32 chaosSeed = quint32(m_settings.seed * 2654435761u + 1);
    m_sandbox.setProcessChannelMode(QProcess::SeparateChannels);
    m_sandbox.start(m_settings.sandboxPath,
                    {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--chaos"),
                     QStringLiteral("%1:%2:%3")
                         .arg(chaosSeed)
                         .arg(m_settings.chaosPercent)
                         .arg(m_settings.downPerMille),
                     QStringLiteral("--chaos-delay-ms"), QString::number(ChaosDelayMs)});
    if (!m_sandbox.waitForStarted(10000))
        return false;
    static const QRegularExpression Listening(QStringLiteral("http://127\\.0\\.0\\.1:(\\d+)"));
    QString seen;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 10000 && m_sandbox.state() == QProcess::Running) {
        m_sandbox.waitForReadyRead(500);
        seen += QString::fromUtf8(m_sandbox.readAllStandardOutput());
        const QRegularExpressionMatch match = Listening.match(seen);
        if (match.hasMatch()) {
            m_port = match.captured(1).toInt();
            out() << "soak: service at http://127.0.0.1:" << m_port << ", chaos seed " << chaosSeed
                  << ", " << m_settings.chaosPercent << "% of exchanges faulted, "
                  << m_settings.downPerMille << " down windows per 1000" << Qt::endl;
            return true;
        }
    }
    return false;
}

void SoakRun::stopSandbox()
{
    if (m_sandbox.state() == QProcess::NotRunning)
        return;
    m_sandbox.terminate();
    if (!m_sandbox.waitForFinished(10000)) {
        m_sandbox.kill();
        m_sandbox.waitForFinished(5000);
    }
}

bool SoakRun::prepareLane(Lane &lane)
{
    lane.dir = QDir(m_settings.workDir).filePath(QStringLiteral("till-%1").arg(lane.index));
    if (!QDir().mkpath(lane.dir))
        return false;
    QFile ini(QDir(lane.dir).filePath(QStringLiteral("till.ini")));
    if (!ini.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QTextStream text(&ini);
    text << "; A soak till: short timeouts, so that faults cost little time.\n"
         << "[Velmor]\nurl=http://127.0.0.1:" << m_port << "\nlogin=merchant\npassword=secret\n"
         << "timeout=" << TillTimeoutSeconds << "\n"
         << "[Velmro]\ninfoRequestInterval=" << InfoIntervalSeconds << "\n";
    text.flush();
    lane.process = new QProcess(this);
    lane.process->setWorkingDirectory(lane.dir);
    lane.process->setProcessChannelMode(QProcess::SeparateChannels);
    lane.process->setStandardInputFile(QProcess::nullDevice());
    Lane *raw = &lane;
    connect(lane.process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
            [this, raw](int exitCode, QProcess::ExitStatus status) {
                onFinished(*raw, exitCode, status);
            });
    // A till that never started sends no finished(): the operation ends here, so that the lane
    // goes on.
    connect(lane.process, &QProcess::errorOccurred, this,
            [this, raw](QProcess::ProcessError error) {
                if (error == QProcess::FailedToStart) {
                    raw->op.err = QStringLiteral("soak: the till did not start: ") +
                                  raw->process->errorString();
                    onFinished(*raw, -1, QProcess::NormalExit);
                }
            });
    return ini.error() == QFileDevice::NoError;
}

QStringList SoakRun::baseArguments() const
{
    return {QStringLiteral("--config"),     QStringLiteral("till.ini"), QStringLiteral("--queue"),
            QStringLiteral("queue.sqlite"), QStringLiteral("--log"),    QStringLiteral("till.log"),
            QStringLiteral("--plugin"),     m_settings.pluginPath};
}

bool SoakRun::writeReceipt(const QString &path, const QVector<Position> &positions,
                           const QVector<int> &bquant)
{
    QJsonArray items;
    qint64 total = 0;
    for (int i = 0; i < positions.size(); ++i) {
        const Position &position = positions.at(i);
        const qint64 sum = position.unitKopecks * position.quantity;
        total += sum;
        items.append(
            QJsonObject{{QStringLiteral("posnum"), position.posnum},
                        {QStringLiteral("articul"), QStringLiteral("A-%1").arg(position.posnum)},
                        {QStringLiteral("name"), QStringLiteral("Товар %1").arg(position.posnum)},
                        {QStringLiteral("quantity"), position.quantity},
                        {QStringLiteral("bquant"), bquant.isEmpty() ? 0 : bquant.at(i)},
                        {QStringLiteral("sumb"), double(sum) / 100.0}});
    }
    const QJsonObject receipt{{QStringLiteral("totalSum"), double(total) / 100.0},
                              {QStringLiteral("prepaidSum"), 0.0},
                              {QStringLiteral("items"), items}};
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(QJsonDocument(receipt).toJson(QJsonDocument::Compact)) > 0;
}

QString SoakRun::readFrom(const QString &path, qint64 *offset)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    file.seek(*offset);
    const QByteArray bytes = file.readAll();
    *offset += bytes.size();
    return QString::fromUtf8(bytes);
}

void SoakRun::planSale(Operation &op, QVector<Position> *positions)
{
    op.kind = QStringLiteral("sale");
    const int roll = uniform(0, 99);
    op.code = roll < 35   ? Approve
              : roll < 65 ? Paid
              : roll < 75 ? Reject
              : roll < 85 ? ServiceCancel
                          : Hold;
    const int count = uniform(1, 3);
    for (int i = 0; i < count; ++i) {
        Position position;
        position.posnum = i + 1;
        position.quantity = uniform(1, 3);
        position.unitKopecks = uniform(500, 250000);
        op.amountKopecks += position.unitKopecks * position.quantity;
        positions->append(position);
    }
}

bool SoakRun::planRefund(Operation &op, bool wholeSale)
{
    std::vector<int> eligible;
    for (int i = 0; i < int(m_paid.size()); ++i) {
        const PaidSale &sale = m_paid.at(size_t(i));
        if (sale.busy || sale.frozen)
            continue;
        bool whole = true;
        bool any = false;
        for (int k = 0; k < sale.positions.size(); ++k) {
            whole = whole && sale.remaining.at(k) == sale.positions.at(k).quantity;
            any = any || sale.remaining.at(k) > 0;
        }
        // A cancellation of the whole payment may follow refunds of part of it: the service
        // then refuses the positions already back, and what is left must come back all the same.
        if (wholeSale ? whole || (any && chance(30)) : any)
            eligible.push_back(i);
    }
    if (eligible.empty())
        return false;
    op.paidIndex = eligible.at(size_t(uniform(0, int(eligible.size()) - 1)));
    PaidSale &sale = m_paid.at(size_t(op.paidIndex));
    sale.busy = true;
    op.kind = wholeSale ? QStringLiteral("cancel") : QStringLiteral("refund");
    op.orderId = sale.orderId;
    op.returning.clear();
    const bool everything = wholeSale || chance(35);
    for (int k = 0; k < sale.positions.size(); ++k)
        op.returning.append(everything ? sale.remaining.at(k) : uniform(0, sale.remaining.at(k)));
    qint64 total = 0;
    for (int k = 0; k < sale.positions.size(); ++k)
        total += op.returning.at(k) * sale.positions.at(k).unitKopecks;
    if (total == 0) {
        for (int k = 0; k < sale.positions.size(); ++k) {
            if (sale.remaining.at(k) > 0) {
                op.returning[k] = 1;
                total = sale.positions.at(k).unitKopecks;
                break;
            }
        }
    }
    op.refundKopecks = total;
    return true;
}

void SoakRun::drawPerturbations(Lane &lane, QStringList *arguments)
{
    Operation &op = lane.op;
    const int number = op.op;
    Lane *raw = &lane;
    const auto ifRunning = [this, raw, number](const std::function<void()> &action) {
        return [raw, number, action] {
            if (raw->op.op == number && raw->process->state() != QProcess::NotRunning)
                action();
        };
    };

    if (op.kind == QLatin1String("sale")) {
        // A held order waits for the cashier: its sale is always interrupted.
        const bool interrupt = op.code == Hold || chance(20);
        if (interrupt) {
            const int how = uniform(0, m_settings.quitSignal ? 4 : 3);
            const int atMs = uniform(200, 3500);
            if (how < 2) {
                const QString seconds = QString::number(atMs / 1000.0, 'f', 1);
                *arguments << QStringLiteral("--interrupt-after") << seconds;
                op.perturbations << QStringLiteral("interrupt-after %1 s").arg(seconds);
                note(QStringLiteral("interrupt-after"));
            } else {
                const int signal = how == 2 ? SIGINT : how == 3 ? SIGTERM : SIGQUIT;
                const QString name = how == 2   ? QStringLiteral("sigint")
                                     : how == 3 ? QStringLiteral("sigterm")
                                                : QStringLiteral("sigquit");
                op.perturbations << QStringLiteral("%1 at %2 ms").arg(name).arg(atMs);
                note(name);
                QTimer::singleShot(atMs, this, ifRunning([raw, signal] {
                                       ::kill(pid_t(raw->process->processId()), signal);
                                   }));
            }
        }
        escalate(lane, number, SaleGiveUpMs);
        QTimer::singleShot(SaleLimitMs, this, ifRunning([raw] {
                               raw->op.hung = true;
                               raw->process->kill();
                           }));
    } else {
        // The till holds the stop signals while it talks to the service: a signal must end it
        // only once the answer is out (or before anything is sent).
        if (chance(4)) {
            const int atMs = uniform(50, 2500);
            const int roll = uniform(0, m_settings.quitSignal ? 2 : 1);
            const int signal = roll == 0 ? SIGTERM : roll == 1 ? SIGINT : SIGQUIT;
            const QString name = roll == 0   ? QStringLiteral("sigterm")
                                 : roll == 1 ? QStringLiteral("sigint")
                                             : QStringLiteral("sigquit");
            op.perturbations << QStringLiteral("%1 at %2 ms").arg(name).arg(atMs);
            note(name);
            QTimer::singleShot(atMs, this, ifRunning([raw, signal] {
                                   ::kill(pid_t(raw->process->processId()), signal);
                               }));
        }
        const int limit = op.kind == QLatin1String("replay") ? ReplayLimitMs : OperationLimitMs;
        QTimer::singleShot(limit, this, ifRunning([raw] {
                               raw->op.hung = true;
                               raw->process->kill();
                           }));
    }

    if (chance(5)) {
        const int atMs = uniform(50, 3500);
        op.killDrawn = true;
        op.perturbations << QStringLiteral("sigkill at %1 ms").arg(atMs);
        note(QStringLiteral("sigkill"));
        QTimer::singleShot(atMs, this, ifRunning([raw] { raw->process->kill(); }));
    }

    const QString queue = QDir(lane.dir).filePath(QStringLiteral("queue.sqlite"));
    if (QFileInfo::exists(queue) && chance(m_settings.lockPercent)) {
        const int fromMs = uniform(0, 500);
        // Past the queue's busy timeout (5 s) now and then, so that a write fails.
        const int forMs = uniform(2000, 12000);
        op.perturbations
            << QStringLiteral("queue locked from %1 ms for %2 ms").arg(fromMs).arg(forMs);
        note(QStringLiteral("queue-locked"));
        QTimer::singleShot(fromMs, this, [this, raw, number, queue, forMs] {
            if (raw->op.op != number || raw->process->state() == QProcess::NotRunning)
                return;
            if (!raw->lock.take(queue)) {
                raw->op.perturbations << QStringLiteral("(the queue lock could not be taken)");
                return;
            }
            QTimer::singleShot(forMs, this, [raw, number] {
                if (raw->op.op == number)
                    raw->lock.release();
            });
        });
    }
}

void SoakRun::escalate(Lane &lane, int number, int afterMs)
{
    Lane *raw = &lane;
    QTimer::singleShot(afterMs, this, [this, raw, number] {
        if (raw->op.op != number || raw->process->state() == QProcess::NotRunning)
            return;
        raw->op.perturbations << QStringLiteral("cashier pressed cancel (sigint) at %1 ms")
                                     .arg(QDateTime::currentMSecsSinceEpoch() - raw->op.startedAt);
        note(QStringLiteral("cashier-gives-up"));
        ::kill(pid_t(raw->process->processId()), SIGINT);
        escalate(*raw, number, SaleGiveUpAgainMs);
    });
}

void SoakRun::startNext(Lane &lane)
{
    lane.busy = false;
    if (m_issued >= m_settings.operations ||
        m_clock.elapsed() > qint64(m_settings.maxSeconds) * 1000) {
        const bool allIdle = std::all_of(m_lanes.begin(), m_lanes.end(),
                                         [](const auto &other) { return !other->busy; });
        if (allIdle)
            m_loop.quit();
        return;
    }
    lane.busy = true;
    lane.op = Operation();
    Operation &op = lane.op;
    op.op = ++m_issued;
    op.till = lane.index;

    QStringList arguments = baseArguments();
    const QString receipt = QStringLiteral("receipt-%1.json").arg(op.op);
    const QString receiptPath = QDir(lane.dir).filePath(receipt);
    const int roll = uniform(0, 99);
    bool planned = false;
    if (roll < 10) {
        op.kind = QStringLiteral("replay");
        arguments << QStringLiteral("replay");
        planned = true;
    } else if (roll < 40) {
        // A third of them cancel a whole sale inside its receipt, the rest refund part of one.
        const bool whole = roll >= 30;
        if (planRefund(op, whole)) {
            const PaidSale &sale = m_paid.at(size_t(op.paidIndex));
            writeReceipt(receiptPath, sale.positions, whole ? QVector<int>() : op.returning);
            arguments << QStringLiteral("--receipt") << receipt << op.kind
                      << QStringLiteral("--rrn") << op.orderId << QStringLiteral("--amount")
                      << QString::number(op.refundKopecks);
            planned = true;
        }
    }
    if (!planned) {
        QVector<Position> positions;
        planSale(op, &positions);
        writeReceipt(receiptPath, positions, {});
        m_salePositions[op.op] = positions;
        arguments << QStringLiteral("--receipt") << receipt << QStringLiteral("sale")
                  << QStringLiteral("--amount") << QString::number(op.amountKopecks)
                  << QStringLiteral("--code") << op.code;
    }
    ++m_kinds[op.kind];

    lane.logOffset = QFileInfo(QDir(lane.dir).filePath(QStringLiteral("till.log"))).size();
    op.startedAt = QDateTime::currentMSecsSinceEpoch();
    drawPerturbations(lane, &arguments);
    lane.process->start(m_settings.tillPath, arguments);
}

void SoakRun::onFinished(Lane &lane, int exitCode, QProcess::ExitStatus status)
{
    Operation &op = lane.op;
    op.endedAt = QDateTime::currentMSecsSinceEpoch();
    lane.lock.release();
    op.exitCode = status == QProcess::NormalExit ? exitCode : 0;
    op.exitSignal = status == QProcess::CrashExit ? exitCode : 0;
    op.out = QString::fromUtf8(lane.process->readAllStandardOutput());
    op.err += QString::fromUtf8(lane.process->readAllStandardError());
    op.log = readFrom(QDir(lane.dir).filePath(QStringLiteral("till.log")), &lane.logOffset);
    op.answer = op.kind == QLatin1String("replay") ? QJsonObject() : answerLine(op.out);
    op.killed =
        op.killDrawn && !op.hung && status == QProcess::CrashExit && op.exitSignal == SIGKILL;
    if (op.kind == QLatin1String("sale")) {
        op.orderId = op.answer.value(QStringLiteral("rrn")).toString();
        if (op.orderId.isEmpty())
            op.orderId = orderIdInLog(op.log);
        if (op.killed && !op.orderId.isEmpty())
            op.journal = journalEntry(lane, op.orderId);
    }
    settle(op);
    m_operations.append(toJson(op));
    if (m_operations.size() % 50 == 0)
        out() << "soak: " << m_operations.size() << "/" << m_settings.operations << " operations, "
              << m_clock.elapsed() / 1000 << " s" << Qt::endl;
    startNext(lane);
}

void SoakRun::settle(const Operation &op)
{
    const bool answered = !op.answer.isEmpty();
    const int answerStatus = op.answer.value(QStringLiteral("status")).toInt(-1);
    const bool success = answered && (answerStatus == 0 || answerStatus == 6);
    if (op.kind == QLatin1String("sale")) {
        if (success && !op.orderId.isEmpty()) {
            PaidSale sale;
            sale.op = op.op;
            sale.orderId = op.orderId;
            sale.positions = m_salePositions[op.op];
            for (const Position &position : qAsConst(sale.positions))
                sale.remaining.append(position.quantity);
            m_paid.push_back(sale);
        }
        m_salePositions.erase(op.op);
        return;
    }
    if (op.paidIndex < 0)
        return;
    PaidSale &sale = m_paid.at(size_t(op.paidIndex));
    sale.busy = false;
    const bool unknown =
        !answered ||
        op.answer.value(QStringLiteral("messageKey")).toString().contains(QLatin1String("Unknown"));
    if (success) {
        for (int k = 0; k < sale.remaining.size(); ++k)
            sale.remaining[k] -= op.returning.at(k);
    } else if (unknown) {
        sale.frozen = true;
    }
}

QJsonObject SoakRun::toJson(const Operation &op) const
{
    QJsonObject object{
        {QStringLiteral("op"), op.op},
        {QStringLiteral("till"), op.till},
        {QStringLiteral("kind"), op.kind},
        {QStringLiteral("perturbations"), QJsonArray::fromStringList(op.perturbations)},
        {QStringLiteral("killed"), op.killed},
        {QStringLiteral("hung"), op.hung},
        {QStringLiteral("exitCode"), op.exitCode},
        {QStringLiteral("exitSignal"), op.exitSignal},
        {QStringLiteral("startedAt"), op.startedAt},
        {QStringLiteral("endedAt"), op.endedAt},
        {QStringLiteral("stdout"), op.out},
        {QStringLiteral("stderr"), op.err},
        {QStringLiteral("log"), op.log}};
    if (!op.code.isEmpty())
        object.insert(QStringLiteral("code"), op.code);
    if (op.amountKopecks)
        object.insert(QStringLiteral("amountKopecks"), op.amountKopecks);
    if (!op.orderId.isEmpty())
        object.insert(QStringLiteral("orderId"), op.orderId);
    if (op.paidIndex >= 0) {
        object.insert(QStringLiteral("saleOp"), m_paid.at(size_t(op.paidIndex)).op);
        object.insert(QStringLiteral("refundKopecks"), op.refundKopecks);
    }
    if (!op.answer.isEmpty())
        object.insert(QStringLiteral("answer"), op.answer);
    if (!op.journal.isEmpty())
        object.insert(QStringLiteral("journal"), op.journal);
    return object;
}

int SoakRun::runTill(const Lane &lane, const QStringList &arguments, int timeoutMs, QString *output,
                     QString *errors)
{
    QProcess till;
    till.setWorkingDirectory(lane.dir);
    till.setStandardInputFile(QProcess::nullDevice());
    till.start(m_settings.tillPath, baseArguments() + arguments);
    if (!till.waitForFinished(timeoutMs)) {
        till.kill();
        till.waitForFinished(5000);
        *output = QString::fromUtf8(till.readAllStandardOutput());
        *errors = QString::fromUtf8(till.readAllStandardError());
        return -1;
    }
    *output = QString::fromUtf8(till.readAllStandardOutput());
    *errors = QString::fromUtf8(till.readAllStandardError());
    return till.exitStatus() == QProcess::NormalExit ? till.exitCode() : -1;
}

QJsonObject SoakRun::journalEntry(const Lane &lane, const QString &orderId)
{
    QString output;
    QString errors;
    if (runTill(lane, {QStringLiteral("journal")}, OperationLimitMs, &output, &errors) != 0)
        return {};
    for (const QString &line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QJsonObject entry = QJsonDocument::fromJson(line.toUtf8()).object();
        if (entry.value(QStringLiteral("kind")).toString() == QLatin1String("sale") &&
            entry.value(QStringLiteral("orderId"))
                    .toString()
                    .compare(orderId, Qt::CaseInsensitive) == 0)
            return QJsonObject{{QStringLiteral("state"), entry.value(QStringLiteral("state"))},
                               {QStringLiteral("outcome"), entry.value(QStringLiteral("outcome"))}};
    }
    return {};
}

void SoakRun::finalReplays()
{
    for (const auto &lane : m_lanes) {
        int pending = -1;
        int rounds = 0;
        QString output;
        QString errors;
        QStringList messages;
        while (rounds < FinalReplayRounds) {
            ++rounds;
            runTill(*lane, {QStringLiteral("replay")}, ReplayLimitMs, &output, &errors);
            if (runTill(*lane, {QStringLiteral("queue")}, OperationLimitMs, &output, &errors) != 0)
                continue;
            messages = output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            pending = messages.size();
            if (pending == 0)
                break;
        }
        const int replayExit =
            runTill(*lane, {QStringLiteral("replay")}, ReplayLimitMs, &output, &errors);
        out() << "soak: till " << lane->index << ": queue "
              << (pending == 0 ? "empty" : "NOT empty") << " after " << rounds
              << " replay round(s), last replay exit " << replayExit << Qt::endl;
        m_queues.append(
            QJsonObject{{QStringLiteral("till"), lane->index},
                        {QStringLiteral("pending"), pending},
                        {QStringLiteral("rounds"), rounds},
                        {QStringLiteral("replayExit"), replayExit},
                        {QStringLiteral("messages"), QJsonArray::fromStringList(messages)},
                        {QStringLiteral("replayErrors"), errors}});
    }
}

bool SoakRun::post(const char *path, QJsonObject *answer)
{
    httplib::Client client("127.0.0.1", m_port);
    client.set_read_timeout(std::chrono::seconds(30));
    const auto result = client.Post(path, "{}", "application/json");
    if (!result || result->status != 200)
        return false;
    *answer = QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object();
    return true;
}

bool SoakRun::fetchLedger(QJsonObject *ledger)
{
    httplib::Client client("127.0.0.1", m_port);
    client.set_read_timeout(std::chrono::seconds(60));
    const auto result = client.Get("/_soak/ledger");
    if (!result || result->status != 200)
        return false;
    *ledger = QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object();
    return !ledger->isEmpty();
}

int SoakRun::run()
{
    out() << "soak: seed " << m_settings.seed << Qt::endl;
    out() << "soak: " << m_settings.operations << " operations on " << m_settings.tills
          << " tills, work directory " << m_settings.workDir << Qt::endl;
    m_clock.start();
    QDir(m_settings.workDir).removeRecursively();
    if (!QDir().mkpath(m_settings.workDir) || !startSandbox()) {
        out() << "soak: the service could not be started (" << m_settings.sandboxPath << ")"
              << Qt::endl;
        return 2;
    }
    for (int i = 1; i <= m_settings.tills; ++i) {
        m_lanes.push_back(std::make_unique<Lane>());
        m_lanes.back()->index = i;
        if (!prepareLane(*m_lanes.back())) {
            out() << "soak: the work directory of till " << i << " could not be prepared"
                  << Qt::endl;
            return 2;
        }
    }
    for (const auto &lane : m_lanes)
        QTimer::singleShot(0, this, [this, raw = lane.get()] { startNext(*raw); });
    m_loop.exec();
    if (m_issued < m_settings.operations)
        out() << "soak: stopped after " << m_issued << " operations, the run's time limit of "
              << m_settings.maxSeconds << " s is over" << Qt::endl;

    QJsonObject healed;
    if (!post("/_soak/heal", &healed)) {
        out() << "soak: the service could not be healed" << Qt::endl;
        return 2;
    }
    finalReplays();
    QJsonObject ledger;
    if (!fetchLedger(&ledger)) {
        out() << "soak: the ledger could not be read" << Qt::endl;
        return 2;
    }
    stopSandbox();

    const QJsonObject record{{QStringLiteral("seed"), QString::number(m_settings.seed)},
                             {QStringLiteral("operations"), m_operations},
                             {QStringLiteral("queues"), m_queues}};
    for (const auto &file :
         {std::make_pair(FileRecord, record), std::make_pair(FileLedger, ledger)}) {
        QFile saved(QDir(m_settings.workDir).filePath(file.first));
        if (saved.open(QIODevice::WriteOnly | QIODevice::Truncate))
            saved.write(QJsonDocument(file.second).toJson(QJsonDocument::Indented));
    }
    return report(record, ledger);
}

int SoakRun::report(const QJsonObject &record, const QJsonObject &ledger)
{
    LedgerChecker checker(record, ledger);
    checker.check();

    int paid = 0;
    for (const QJsonValue &value : record.value(QStringLiteral("operations")).toArray()) {
        const QJsonObject op = value.toObject();
        if (op.value(QStringLiteral("kind")).toString() == QLatin1String("sale") &&
            op.value(QStringLiteral("answer"))
                    .toObject()
                    .value(QStringLiteral("status"))
                    .toInt(-1) == 0)
            ++paid;
    }
    std::map<QString, int> faults;
    const QJsonObject drawn = ledger.value(QStringLiteral("faults")).toObject();
    for (auto it = drawn.constBegin(); it != drawn.constEnd(); ++it)
        faults[it.key()] = it.value().toInt();
    int faulted = 0;
    const QJsonArray exchanges = ledger.value(QStringLiteral("exchanges")).toArray();
    for (const QJsonValue &value : exchanges) {
        const QString fault = value.toObject().value(QStringLiteral("fault")).toString();
        faulted += fault != QLatin1String("none") && !fault.isEmpty();
    }

    for (const LedgerChecker::Finding &finding : checker.discrepancies())
        out() << checker.describe(finding) << Qt::endl;

    out() << "soak: seed " << m_settings.seed << ": " << m_operations.size() << " operations on "
          << m_settings.tills << " tills in " << m_clock.elapsed() / 1000
          << " s: " << joined(m_kinds) << "; " << paid << " sales paid; "
          << ledger.value(QStringLiteral("orders")).toArray().size() << " orders at the service"
          << Qt::endl;
    out() << "soak: " << exchanges.size() << " exchanges, " << faulted
          << " met a fault; faults drawn by the service (\"down\": windows): " << joined(faults)
          << Qt::endl;
    out() << "soak: perturbations of the tills: " << joined(m_perturbationCounts) << Qt::endl;
    out() << "soak: cancellations left queued of orders the service never held: "
          << checker.leftQueued().size();
    for (const QString &orderId : checker.leftQueued())
        out() << "\n  " << orderId;
    out() << Qt::endl;
    out() << "soak: orders left to the host (sale killed by SIGKILL): "
          << checker.leftToHost().size();
    for (const LedgerChecker::LeftToHost &left : checker.leftToHost())
        out() << "\n  operation #" << left.op << ": " << left.orderId << " " << left.status;
    out() << Qt::endl;
    std::map<QString, int> kinds;
    for (const LedgerChecker::Finding &finding : checker.discrepancies())
        ++kinds[finding.kind];
    out() << "soak: discrepancies: " << checker.discrepancies().size()
          << (kinds.empty() ? QString() : QStringLiteral(" (%1)").arg(joined(kinds)))
          << "; record and ledger in " << m_settings.workDir << Qt::endl;
    if (!m_settings.runsTable.isEmpty()) {
        RunsTableRow row;
        row.settings = m_settings;
        row.issued = m_issued;
        row.seconds = m_clock.elapsed() / 1000;
        row.kinds = m_kinds;
        row.paid = paid;
        row.orders = ledger.value(QStringLiteral("orders")).toArray().size();
        row.exchanges = exchanges.size();
        row.faulted = faulted;
        row.faults = faults;
        row.perturbations = joined(m_perturbationCounts);
        for (const LedgerChecker::LeftToHost &left : checker.leftToHost())
            row.leftToHost << left.status;
        row.leftQueued = checker.leftQueued().size();
        row.discrepancies = checker.discrepancies().size();
        row.note = m_settings.runsNote;
        QString error;
        if (!row.insertInto(m_settings.runsTable, &error)) {
            out() << "soak: the runs table was left as it was: " << error << Qt::endl;
            return 2;
        }
        out() << "soak: the run's row is the first of the runs table in " << m_settings.runsTable
              << Qt::endl;
    }
    return checker.discrepancies().isEmpty() ? 0 : 1;
}
