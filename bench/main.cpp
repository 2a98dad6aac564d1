// The benchmark run: every figure next to its baseline, one table at the end.
//
//   velmor-bench [--quick] [--only N,N...] [--results FILE]
//
// BENCH_QUICK=1 in the environment is the same as --quick: fewer tries, shorter waits.
// With --results the table replaces the part of FILE between the bench markers.

#include "benchcontext.h"
#include "childlauncher.h"
#include "figures.h"
#include "resulttable.h"
#include "serviceprocess.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QStringList>
#include <QSysInfo>

#include <cstdio>
#include <thread>

namespace {

const char *const BeginMarker = "<!-- bench:begin -->";
const char *const EndMarker = "<!-- bench:end -->";

QString cpuModel()
{
    QFile cpuinfo(QStringLiteral("/proc/cpuinfo"));
    if (cpuinfo.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : cpuinfo.readAll().split('\n')) {
            if (line.startsWith("model name"))
                return QString::fromUtf8(line.mid(line.indexOf(':') + 1).trimmed());
        }
    }
    return QStringLiteral("unknown");
}

QString machineText(bool quick)
{
    return QStringLiteral("Ran %1 on %2 (nproc %3, %4, Qt %5), %6 mode.")
        .arg(QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'")),
             cpuModel())
        .arg(std::thread::hardware_concurrency())
        .arg(QSysInfo::prettyProductName(), QString::fromLatin1(qVersion()),
             quick ? QStringLiteral("quick") : QStringLiteral("full"));
}

bool writeResults(const QString &path, const QString &section)
{
    QFile file(path);
    QString text;
    if (file.open(QIODevice::ReadOnly)) {
        text = QString::fromUtf8(file.readAll());
        file.close();
    }
    const int begin = text.indexOf(QLatin1String(BeginMarker));
    const int end = text.indexOf(QLatin1String(EndMarker));
    const QString block =
        QLatin1String(BeginMarker) + QLatin1Char('\n') + section + QLatin1String(EndMarker);
    if (begin >= 0 && end > begin)
        text.replace(begin, end + int(qstrlen(EndMarker)) - begin, block);
    else
        text += QLatin1Char('\n') + block + QLatin1Char('\n');
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(text.toUtf8()) >= 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (isLoadChild(argc, argv)) {
        QCoreApplication app(argc, argv);
        return runLoadChild(app.arguments());
    }
    if (isScanChild(argc, argv))
        return runScanChild(argc, argv);

    // The services whose cost must not be counted as the plug-in's run in a child process,
    // forked while this process has no thread yet.
    ServiceProcess services;
    if (!services.start())
        std::fprintf(stderr, "velmor-bench: the service process did not start\n");
    // The till and the baselines' programs are started from a process as small as this one is
    // now, so that their peak memory is their own.
    ChildLauncher launcher;
    if (!launcher.start())
        std::fprintf(stderr, "velmor-bench: the launcher process did not start\n");

    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments();
    const bool quick = arguments.contains(QStringLiteral("--quick")) ||
                       qEnvironmentVariableIntValue("BENCH_QUICK") != 0;
    const int resultsAt = arguments.indexOf(QStringLiteral("--results"));
    const QString resultsPath = resultsAt >= 0 ? arguments.value(resultsAt + 1) : QString();
    // A subset of the figures, for profiling one of them.
    const int onlyAt = arguments.indexOf(QStringLiteral("--only"));
    const QStringList only =
        onlyAt >= 0 ? arguments.value(onlyAt + 1).split(QLatin1Char(',')) : QStringList();
    const auto wanted = [&only](int figure) {
        return only.isEmpty() || only.contains(QString::number(figure));
    };

    ResultTable table;
    int status = 0;
    {
        BenchContext context(quick, &services, &launcher);
        QString error;
        if (!context.setUp(&error)) {
            std::fprintf(stderr, "velmor-bench: %s\n", qPrintable(error));
            return 1;
        }
        const auto step = [&wanted](int figure, const char *what) {
            if (!wanted(figure))
                return false;
            std::fprintf(stderr, "velmor-bench: %s\n", what);
            std::fflush(stderr);
            return true;
        };
        if (step(9, "figure 9: plug-in load"))
            runLoadFigure(context, table);
        if (!context.setUpPlugin(&error)) {
            std::fprintf(stderr, "velmor-bench: %s\n", qPrintable(error));
            return 1;
        }
        if ((step(7, "figures 7, 8 and 16: create body, durable queue insert") || wanted(8) ||
             wanted(16)))
            runMicroFigures(context, table);
        if ((step(12, "figures 12 and 13: till queue over a long queue") || wanted(13)))
            runQueueListingFigures(context, table);
        if (step(14, "figure 14: durable queue insert behind a long queue"))
            runEnqueueFigure(context, table);
        if (step(15, "figure 15: till replay at the head of a long queue"))
            runLongReplayFigure(context, table);
        if ((step(18, "figures 18, 19 and 21: journal size, dead entries found, start") ||
             wanted(19) || wanted(21)))
            runJournalFigures(context, table);
        if (step(1, "figure 1: sale through the plug-in"))
            runSaleFigure(context, table);
        if (step(2, "figure 2: poll over HTTPS"))
            runTlsPollFigure(context, table);
        if (step(6, "figure 6: replay of queued messages"))
            runReplayFigure(context, table);
        if ((step(3, "figures 3, 4 and 17: poll schedule and CPU time (real sleeps)") ||
             wanted(4) || wanted(17)))
            runScheduleFigures(context, table);
        if (step(5, "figure 5: interrupt (real sleeps)"))
            runInterruptFigure(context, table);
        if (step(11, "figure 11: cancel behind a hung poll"))
            runHungPollCancelFigure(context, table);
        if (step(10, "figure 10: resident memory over many sales"))
            runMemoryFigure(context, table);
    }

    const QString machine = machineText(quick);
    std::printf("\n%s\n%s", qPrintable(machine), qPrintable(table.text()));
    if (!resultsPath.isEmpty()) {
        if (!writeResults(resultsPath, machine + QStringLiteral("\n\n") + table.markdown())) {
            std::fprintf(stderr, "velmor-bench: cannot write %s\n", qPrintable(resultsPath));
            status = 1;
        }
    }

    return status;
}
