#include "barehttp.h"
#include "benchcontext.h"
#include "figures.h"
#include "resulttable.h"
#include "timedclient.h"

#include <sandbox.h>

#include <cmath>

namespace {

// One wait of `polls` polls on a held order, through a client of its own.
bool runWait(BenchContext &context, Sandbox &service, int intervalSeconds, int polls,
             TimedClient &client)
{
    context.configure(service.baseUrl(), intervalSeconds);
    client.init();
    client.setPollLimit(&service, polls);
    const velmor::RequestResult result =
        client.createOffline(context.saleRequest(Sandbox::CodeHold));
    service.clearRequests();
    return result.success && result.orderStatus == velmor::Completed &&
           client.pollNanos().size() == polls;
}

// The same polls by bare libcurl on a connection of its own: what the transport alone costs.
double barePollNanos(BenchContext &context, Sandbox &service, const QByteArray &caFile, int polls)
{
    BareHttp http(caFile);
    const QString id = BenchContext::newId();
    const QList<QByteArray> headers = context.headers(id);
    if (http.post((service.baseUrl() + QStringLiteral("/create_offline")).toLatin1(),
                  context.createBody(id, Sandbox::CodeHold), headers) != 200)
        return 0.0;
    service.setOrderStatus(id, QStringLiteral("approved"));
    const QByteArray url = (service.baseUrl() + QStringLiteral("/%1/info").arg(id)).toLatin1();
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

} // namespace

void runTlsPollFigure(BenchContext &context, ResultTable &table)
{
    const int polls = context.tries(1000, 100);
    context.setReceipt(3);
    TimedClient plainClient;
    TimedClient secureClient;
    // A short wait first on each side, so that neither pays for first use (the trust store,
    // the first connection) inside its figure.
    bool ok = runWait(context, context.plain(), 0, 10, plainClient) &&
              runWait(context, context.secure(), 0, 10, secureClient);
    ok = ok && runWait(context, context.secure(), 0, polls, secureClient);
    const std::vector<qint64> secure(secureClient.pollNanos().begin(),
                                     secureClient.pollNanos().end());
    ok = ok && runWait(context, context.plain(), 0, polls, plainClient);
    const std::vector<qint64> plain(plainClient.pollNanos().begin(), plainClient.pollNanos().end());
    context.configure(context.plain().baseUrl(), 0);

    const double measured = median(secure);
    const double baseline = median(plain);
    const double ratio = measured / baseline;
    table.add({2, QStringLiteral("status poll over HTTPS, median of %1 in one wait").arg(polls),
               ResultTable::micros(measured), ResultTable::micros(baseline),
               ResultTable::ratioText(ratio), QStringLiteral("ratio <= 1.5"),
               ok && ratio <= 1.5 ? ResultTable::Verdict::Met : ResultTable::Verdict::Missed});
    const double bareSecure =
        barePollNanos(context, context.secure(), context.caFile().toLocal8Bit(), polls);
    const double barePlain = barePollNanos(context, context.plain(), QByteArray(), polls);
    table.addNote(2, QStringLiteral("bare libcurl, same service: HTTPS %1, HTTP %2 (ratio %3)")
                         .arg(ResultTable::micros(bareSecure), ResultTable::micros(barePlain),
                              ResultTable::ratioText(bareSecure / barePlain)));
    if (!ok)
        table.addNote(2, QStringLiteral("a wait did not end as the service ended it"));
}

void runScheduleFigures(BenchContext &context, ResultTable &table)
{
    const int polls = context.quick() ? 5 : 30;
    const int intervalSeconds = 1;
    context.setReceipt(3);
    TimedClient client;
    const bool ok = runWait(context, context.polledSlowly(), intervalSeconds, polls, client);
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
    table.addNote(4, QStringLiteral("of which the waiting thread: %1 ms; the rest is the "
                                    "in-process service's")
                         .arg(client.waitThreadCpuMicros() / 1000.0, 0, 'f', 2));
    if (!ok)
        table.addNote(3, QStringLiteral("the wait did not end as the service ended it"));
}
