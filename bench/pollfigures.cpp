#include "barehttp.h"
#include "benchcontext.h"
#include "figures.h"
#include "resulttable.h"
#include "serviceprocess.h"
#include "timedclient.h"

#include <sandbox/sandbox.h>

#include <cmath>
#include <functional>

namespace {

// A service as the poll figures use it, in this process or in the child.
struct Target
{
    QString baseUrl;
    std::function<void(const QString &id, const QString &status)> setOrderStatus;
    std::function<void()> clearRequests;
};

Target inProcess(sandbox::Sandbox &service)
{
    return {service.baseUrl(),
            [&service](const QString &id, const QString &status) {
                service.setOrderStatus(id, status);
            },
            [&service] { service.clearRequests(); }};
}

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

// The same polls by bare libcurl on a connection of its own: what the transport alone costs.
double barePollNanos(BenchContext &context, const Target &service, const QByteArray &caFile,
                     int polls)
{
    BareHttp http(caFile);
    const QString id = BenchContext::newId();
    const QList<QByteArray> headers = context.headers(id);
    if (http.post((service.baseUrl + QStringLiteral("/create_offline")).toLatin1(),
                  context.createBody(id, QLatin1String(sandbox::Sandbox::CodeHold)),
                  headers) != 200)
        return 0.0;
    service.setOrderStatus(id, QStringLiteral("approved"));
    const QByteArray url = (service.baseUrl + QStringLiteral("/%1/info").arg(id)).toLatin1();
    std::vector<qint64> nanos;
    for (int i = 0; i < polls + 10; ++i) {
        const auto start = std::chrono::steady_clock::now();
        http.get(url, headers);
        if (i >= 10)
            nanos.push_back(nanosBetween(start, std::chrono::steady_clock::now()));
    }
    service.clearRequests();
    return median(nanos);
}

struct TlsPoll
{
    bool ok = false;
    double secure = 0.0;
    double plain = 0.0;
    double bareSecure = 0.0;
    double barePlain = 0.0;
};

// Figure 2 against one pair of services: the plug-in's polls, then bare libcurl's.
TlsPoll measureTlsPoll(BenchContext &context, const Target &plainService,
                       const Target &secureService, int polls)
{
    TlsPoll result;
    TimedClient plainClient;
    TimedClient secureClient;
    // A short wait first on each side, so that neither pays for first use (the trust store,
    // the first connection) inside its figure.
    bool ok = runWait(context, plainService, 0, 10, plainClient) &&
              runWait(context, secureService, 0, 10, secureClient);
    ok = ok && runWait(context, secureService, 0, polls, secureClient);
    result.secure = median(
        std::vector<qint64>(secureClient.pollNanos().begin(), secureClient.pollNanos().end()));
    ok = ok && runWait(context, plainService, 0, polls, plainClient);
    result.plain =
        median(std::vector<qint64>(plainClient.pollNanos().begin(), plainClient.pollNanos().end()));
    context.configure(context.plain().baseUrl(), 0);
    result.ok = ok;
    result.bareSecure =
        barePollNanos(context, secureService, context.caFile().toLocal8Bit(), polls);
    result.barePlain = barePollNanos(context, plainService, QByteArray(), polls);
    return result;
}

} // namespace

void runTlsPollFigure(BenchContext &context, ResultTable &table)
{
    const int polls = context.tries(1000, 100);
    const QString name =
        QStringLiteral("status poll over HTTPS, median of %1 in one wait").arg(polls);
    context.setReceipt(3);
    const Target remotePlain = inChild(context, context.remotePlain());
    const Target remoteSecure = inChild(context, context.remoteSecure());
    if (remotePlain.baseUrl.isEmpty() || remoteSecure.baseUrl.isEmpty()) {
        table.add(
            {2, name, {}, {}, {}, QStringLiteral("ratio <= 1.5"), ResultTable::Verdict::NotRun});
        table.addNote(2, QStringLiteral("the service's own process did not start"));
        return;
    }
    // The services run in the child process, as a real service runs elsewhere: in this
    // process the service's record encryption would run on the same two cores, back to back
    // with the client's. The same figure against services in this process follows as a note.
    const TlsPoll remote = measureTlsPoll(context, remotePlain, remoteSecure, polls);
    const TlsPoll local =
        measureTlsPoll(context, inProcess(context.plain()), inProcess(context.secure()), polls);

    const double ratio = remote.secure / remote.plain;
    table.add(
        {2, name + QStringLiteral(", service in another process"),
         ResultTable::micros(remote.secure), ResultTable::micros(remote.plain),
         ResultTable::ratioText(ratio), QStringLiteral("ratio <= 1.5"),
         remote.ok && ratio <= 1.5 ? ResultTable::Verdict::Met : ResultTable::Verdict::Missed});
    table.addNote(2, QStringLiteral("bare libcurl, same service: HTTPS %1, HTTP %2 (ratio %3)")
                         .arg(ResultTable::micros(remote.bareSecure),
                              ResultTable::micros(remote.barePlain),
                              ResultTable::ratioText(remote.bareSecure / remote.barePlain)));
    table.addNote(2, QStringLiteral("service in this process: plug-in HTTPS %1, HTTP %2 (ratio "
                                    "%3); bare libcurl HTTPS %4, HTTP %5 (ratio %6)")
                         .arg(ResultTable::micros(local.secure), ResultTable::micros(local.plain),
                              ResultTable::ratioText(local.secure / local.plain),
                              ResultTable::micros(local.bareSecure),
                              ResultTable::micros(local.barePlain),
                              ResultTable::ratioText(local.bareSecure / local.barePlain)));
    if (!remote.ok || !local.ok)
        table.addNote(2, QStringLiteral("a wait did not end as the service ended it"));
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
        for (int figure : {3, 4}) {
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
    if (!ok)
        table.addNote(3, QStringLiteral("the wait did not end as the service ended it"));
}
