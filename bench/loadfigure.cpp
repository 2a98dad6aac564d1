#include "benchcontext.h"
#include "figures.h"
#include "resulttable.h"
#include "trivialinterface.h"

#include <QCoreApplication>
#include <QPluginLoader>
#include <QProcess>
#include <basicpaymentprocessing.h>
#include <config.h>
#include <dbqueuebroker.h>
#include <log4qt/logmanager.h>
#include <session.h>
#include <singleton.h>
#include <velmor/journal.h>

#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

const char *const LoadOnceOption = "--load-once";

// Load, instance, cast and init, as a host starts a plug-in.
template<typename Interface> qint64 loadOnce(const QString &path)
{
    QPluginLoader loader(path);
    const Clock::time_point start = Clock::now();
    Interface *plugin = loader.load() ? qobject_cast<Interface *>(loader.instance()) : nullptr;
    if (!plugin)
        return -1;
    plugin->init();
    return nanosBetween(start, Clock::now());
}

// A load in a process of its own: QPluginLoader keeps a library mapped once loaded, so only
// the first load in a process costs what a host's start pays. The plug-in's journal and the
// host's queue are the files named.
qint64 loadInChild(const QString &which, const QString &journalPath, const QString &queuePath)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QString::fromLatin1(LoadOnceOption), which, journalPath, queuePath});
    if (!child.waitForFinished(30000) || child.exitCode() != 0)
        return -1;
    bool ok = false;
    const qint64 nanos = child.readAllStandardOutput().trimmed().toLongLong(&ok);
    return ok ? nanos : -1;
}

} // namespace

bool isLoadChild(int argc, char **argv)
{
    return argc > 1 && qstrcmp(argv[1], LoadOnceOption) == 0;
}

int runLoadChild(const QStringList &arguments)
{
    // The host's services exist before a host loads its plug-ins.
    Singleton<Config>::instance = new Config;
    Singleton<Session>::instance = new Session;
    Singleton<Config>::instance->setValue(velmor::Journal::PathKey, arguments.value(3));
    Singleton<DBQueueBroker>::instance = new DBQueueBroker(arguments.value(4));
    Log4Qt::LogManager::logger(QString::fromLatin1("velmor"));
    const qint64 nanos = arguments.value(2) == QLatin1String("velmor")
                             ? loadOnce<BasicPaymentProcessing>(QStringLiteral(VELMOR_PLUGIN_PATH))
                             : loadOnce<TrivialInterface>(QStringLiteral(TRIVIAL_PLUGIN_PATH));
    std::printf("%lld\n", static_cast<long long>(nanos));
    return nanos < 0 ? 1 : 0;
}

qint64 timePluginStart(const QString &journalPath, const QString &queuePath)
{
    return loadInChild(QStringLiteral("velmor"), journalPath, queuePath);
}

void runLoadFigure(BenchContext &context, ResultTable &table)
{
    const QString journal = context.workPath(QStringLiteral("fig9-journal.sqlite"));
    const QString queue = context.workPath(QStringLiteral("fig9-queue.sqlite"));
    const int tries = context.tries(30, 5);
    std::vector<qint64> plugin;
    std::vector<qint64> trivial;
    int failures = 0;
    for (int i = 0; i < tries; ++i) {
        for (const char *which : {"velmor", "trivial"}) {
            const qint64 nanos = loadInChild(QString::fromLatin1(which), journal, queue);
            if (nanos < 0)
                ++failures;
            else
                (qstrcmp(which, "velmor") == 0 ? plugin : trivial).push_back(nanos);
        }
    }

    const double measured = median(plugin);
    const double baseline = median(trivial);
    const double worst = plugin.empty() ? 0.0 : *std::max_element(plugin.begin(), plugin.end());
    table.add({9,
               QStringLiteral("QPluginLoader load + instance + init, each in a fresh process, "
                              "median of %1")
                   .arg(tries),
               ResultTable::millis(measured), ResultTable::millis(baseline),
               ResultTable::ratioText(baseline > 0 ? measured / baseline : 0.0),
               QStringLiteral("< 50 ms"),
               failures == 0 && !plugin.empty() && worst < 50e6 ? ResultTable::Verdict::Met
                                                                : ResultTable::Verdict::Missed});
    table.addNote(9, QStringLiteral("slowest load %1").arg(ResultTable::millis(worst)));
    if (failures)
        table.addNote(9, QStringLiteral("%1 loads failed").arg(failures));
}
