#include "barehttp.h"
#include "benchcontext.h"
#include "figures.h"
#include "resulttable.h"
#include "serviceprocess.h"
#include "timedclient.h"

#include <sandbox/sandbox.h>
#include <velmor/clientsettings.h>
#include <velmor/interface.h>

#include <cmath>
#include <functional>

namespace {

// A service in the child process, as the poll figures use it.
struct Target
{
    QString baseUrl;
    std::function<void(const QString &id, const QString &status)> setOrderStatus;
    std::function<void()> clearRequests;
};

// Empty base URL when the service did not start in the child.
Target inChild(BenchContext &context, int port)
{
    ServiceProcess &services = context.services();
    return {services.baseUrl(port),
            [&services, port](const QString &id, const QString &status) {
                services.setOrderStatus(port, id, status);
            },
            [&services, port] { services.clearRequests(port); }};
}

// One wait of `polls` polls on a held order, through a client of its own.
bool runWait(BenchContext &context, const Target &service, int intervalSeconds, int polls,
             TimedClient &client)
{
    context.configure(service.baseUrl, intervalSeconds);
    client.init();
    client.setPollLimit(
        [&service](const QString &id) { service.setOrderStatus(id, QStringLiteral("completed")); },
        polls);
    const velmor::RequestResult result =
        client.createOffline(context.saleRequest(QLatin1String(sandbox::Sandbox::CodeHold)));
    service.clearRequests();
    return result.success && result.orderStatus == velmor::Completed &&
           client.pollNanos().size() == polls;
}

// A held order at `service`, made by a bare exchange and left approved, so that every poll
// of it reads the same answer; empty when the service refused it.
QString heldOrder(BenchContext &context, const Target &service, BareHttp &http)
{
    const QString id = BenchContext::newId();
    if (http.post((service.baseUrl + QStringLiteral("/create_offline")).toLatin1(),
                  context.createBody(id, QLatin1String(sandbox::Sandbox::CodeHold)),
                  context.headers(id)) != 200)
        return QString();
    service.setOrderStatus(id, QStringLiteral("approved"));
    return id;
}

struct PollPair
{
    bool ok = false;
    double client = 0.0;
    double bare = 0.0;
};

// The client's status exchange (`Interface::info`, decoding included) and the same GET by
// bare libcurl, each on a connection it keeps, interleaved poll by poll; medians.
PollPair measurePolls(BenchContext &context, const Target &service, const QByteArray &caFile,
                      int polls)
{
    PollPair result;
    BareHttp http(caFile);
    const QString id = heldOrder(context, service, http);
    if (id.isEmpty())
        return result;
    const QByteArray infoUrl = (service.baseUrl + QStringLiteral("/%1/info").arg(id)).toLatin1();
    const QList<QByteArray> headers = context.headers(id);

    context.configure(service.baseUrl, 0);
    velmor::Interface client;
    client.init();
    client.setCurrentId(id);

    int failures = 0;
    std::vector<qint64> clientNanos;
    std::vector<qint64> bareNanos;
    const auto clientPoll = [&] {
        const auto start = std::chrono::steady_clock::now();
        const velmor::RequestResult answer = client.info(id);
        clientNanos.push_back(nanosBetween(start, std::chrono::steady_clock::now()));
        failures += answer.orderStatus != velmor::Approved;
    };
    const auto barePoll = [&] {
        const auto start = std::chrono::steady_clock::now();
        const long status = http.get(infoUrl, headers);
        bareNanos.push_back(nanosBetween(start, std::chrono::steady_clock::now()));
        failures += status != 200;
    };
    // The first polls pay for the handshake and the trust store on each side.
    for (int i = 0; i < 20; ++i) {
        clientPoll();
        barePoll();
    }
    clientNanos.clear();
    bareNanos.clear();
    failures = 0;
    for (int i = 0; i < polls; ++i) {
        if (i % 2) {
            clientPoll();
            barePoll();
        } else {
            barePoll();
            clientPoll();
        }
    }
    service.clearRequests();
    context.configure(context.plain().baseUrl(), 0);
    result.ok = failures == 0;
    result.client = median(clientNanos);
    result.bare = median(bareNanos);
    return result;
}

} // namespace

void runTlsPollFigure(BenchContext &context, ResultTable &table)
{
    const int polls = context.tries(2000, 200);
    const QString name =
        QStringLiteral("status poll over HTTPS on a kept connection, median of %1").arg(polls);
    const QString goal = QStringLiteral("ratio <= 1.2");
    context.setReceipt(3);
    const Target remotePlain = inChild(context, context.remotePlain());
    const Target remoteSecure = inChild(context, context.remoteSecure());
    if (remotePlain.baseUrl.isEmpty() || remoteSecure.baseUrl.isEmpty()) {
        table.add({2, name, {}, {}, {}, goal, ResultTable::Verdict::NotRun});
        table.addNote(2, QStringLiteral("the service's own process did not start"));
        return;
    }
    // The services run in the child process, as a real service runs elsewhere: in this
    // process the service's record encryption would run on the same two cores, back to back
    // with the client's.
    const QByteArray caFile = context.caFile().toLocal8Bit();
    const PollPair secure = measurePolls(context, remoteSecure, caFile, polls);
    const PollPair plain = measurePolls(context, remotePlain, QByteArray(), polls);

    const double ratio = secure.bare > 0 ? secure.client / secure.bare : 0.0;
    table.add({2, name, ResultTable::micros(secure.client),
               ResultTable::micros(secure.bare) + QStringLiteral(" (bare libcurl HTTPS)"),
               ResultTable::ratioText(ratio), goal,
               secure.ok && ratio > 0 && ratio <= 1.2 ? ResultTable::Verdict::Met
                                                      : ResultTable::Verdict::Missed});
    table.addNote(
        2, QStringLiteral("plain HTTP, same service and clients: %1 against bare "
                          "libcurl %2 (ratio %3); the service runs in another process")
               .arg(ResultTable::micros(plain.client), ResultTable::micros(plain.bare),
                    ResultTable::ratioText(plain.bare > 0 ? plain.client / plain.bare : 0.0)));
    if (!secure.ok || !plain.ok)
        table.addNote(2, QStringLiteral("a poll did not read the held order as approved"));
}

void runScheduleFigures(BenchContext &context, ResultTable &table)
{
    const int polls = context.quick() ? 5 : 30;
    const int intervalSeconds = 1;
    context.setReceipt(3);
    // The service runs in the child process: figure 4 counts this process's CPU, the till's,
    // and a service is never part of the till.
    const Target service = inChild(context, context.remotePolledSlowly());
    if (service.baseUrl.isEmpty()) {
        for (int figure : {3, 4, 17}) {
            table.add({figure,
                       QStringLiteral("poll wait at 1 s"),
                       {},
                       {},
                       {},
                       {},
                       ResultTable::Verdict::NotRun});
            table.addNote(figure, QStringLiteral("the service's own process did not start"));
        }
        return;
    }
    TimedClient client;
    const bool ok = runWait(context, service, intervalSeconds, polls, client);
    context.configure(context.plain().baseUrl(), 0);

    // Each poll is due one interval after the previous one started, the first at once.
    std::vector<qint64> deviations;
    const auto &starts = client.pollStarts();
    for (int i = 0; i < starts.size(); ++i) {
        const TimedClient::Clock::time_point due =
            i == 0 ? client.waitStart() : starts.at(i - 1) + std::chrono::seconds(intervalSeconds);
        deviations.push_back(std::llabs(nanosBetween(due, starts.at(i))));
    }
    const double worst =
        deviations.empty() ? 0.0 : *std::max_element(deviations.begin(), deviations.end());
    const double middle = median(deviations);
    const bool scheduleMet = ok && worst <= 5e6 && middle < 1e6;
    table.add(
        {3, QStringLiteral("poll schedule, %1 polls at 1 s: worst / median deviation").arg(polls),
         ResultTable::millis(worst) + QStringLiteral(" / ") + ResultTable::millis(middle),
         QStringLiteral("the schedule"), QStringLiteral("-"),
         QStringLiteral("each <= 5 ms, median < 1 ms"),
         scheduleMet ? ResultTable::Verdict::Met : ResultTable::Verdict::Missed});

    const double cpuMs = client.waitProcessCpuMicros() / 1000.0;
    table.add({4, QStringLiteral("CPU time of the process during a %1-poll wait").arg(polls),
               QString::number(cpuMs, 'f', 2) + QStringLiteral(" ms"), QStringLiteral("none"),
               QStringLiteral("-"), QStringLiteral("< 30 ms"),
               ok && cpuMs < 30.0 ? ResultTable::Verdict::Met : ResultTable::Verdict::Missed});
    table.addNote(4, QStringLiteral("of which the waiting thread: %1 ms; the service runs in "
                                    "another process")
                         .arg(client.waitThreadCpuMicros() / 1000.0, 0, 'f', 2));

    // An hour's wait at the default interval, from the same wait. The wait runs on the thread
    // that asked for the payment, with no thread of the plug-in's own beside it: each poll
    // costs the till what a poll cost the waiting thread here, since a poll sleeps once until
    // it is due, however long the interval. The rest of this process (its own in-process
    // services among it) is extrapolated per second in the note, for scale.
    const int hourPolls = 3600 / velmor::DefaultInfoRequestInterval;
    const double waitSeconds = client.waitNanos() / 1e9;
    const double perPollMicros = polls > 0 ? double(client.waitThreadCpuMicros()) / polls : 0.0;
    const double restPerSecondMicros =
        waitSeconds > 0
            ? double(client.waitProcessCpuMicros() - client.waitThreadCpuMicros()) / waitSeconds
            : 0.0;
    const double hourMs = hourPolls * perPollMicros / 1000.0;
    table.add({17,
               QStringLiteral("CPU time of a one-hour wait at %1 s, from figure 4's wait")
                   .arg(velmor::DefaultInfoRequestInterval),
               QString::number(hourMs, 'f', 1) + QStringLiteral(" ms"), QStringLiteral("none"),
               QStringLiteral("-"), QStringLiteral("< 1 s per hour"),
               ok && hourMs > 0 && hourMs < 1000.0 ? ResultTable::Verdict::Met
                                                   : ResultTable::Verdict::Missed});
    table.addNote(17, QStringLiteral("%1 polls at %2 µs of the waiting thread each (a new "
                                     "connection each, as figure 4's service closes them); this "
                                     "process's other threads took %3 µs a second over the %4 s "
                                     "wait, %5 ms an hour at that rate")
                          .arg(hourPolls)
                          .arg(perPollMicros, 0, 'f', 1)
                          .arg(restPerSecondMicros, 0, 'f', 1)
                          .arg(waitSeconds, 0, 'f', 1)
                          .arg(3600 * restPerSecondMicros / 1000.0, 0, 'f', 1));
    if (!ok)
        table.addNote(3, QStringLiteral("the wait did not end as the service ended it"));
}
