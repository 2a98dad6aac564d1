// velmor-soak: the randomized fault soak (run), and its checker on saved files (check).

#include "ledgerchecker.h"
#include "soakrun.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTextStream>

namespace {

QJsonObject readObject(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

// An option's value, else the environment's, else the default.
QString setting(const QCommandLineParser &parser, const char *option, const char *variable,
                const QString &fallback)
{
    if (parser.isSet(QLatin1String(option)))
        return parser.value(QLatin1String(option));
    const QByteArray value = qgetenv(variable);
    return value.isEmpty() ? fallback : QString::fromLocal8Bit(value);
}

int check(const QString &recordPath, const QString &ledgerPath)
{
    QTextStream out(stdout);
    const QJsonObject record = readObject(recordPath);
    const QJsonObject ledger = readObject(ledgerPath);
    if (record.isEmpty() || ledger.isEmpty()) {
        out << "soak check: cannot read " << (record.isEmpty() ? recordPath : ledgerPath)
            << Qt::endl;
        return 2;
    }
    LedgerChecker checker(record, ledger);
    checker.check();
    for (const LedgerChecker::Finding &finding : checker.discrepancies())
        out << checker.describe(finding) << Qt::endl;
    out << "soak check: " << checker.discrepancies().size() << " discrepancies, "
        << checker.leftToHost().size() << " orders left to the host" << Qt::endl;
    return checker.discrepancies().isEmpty() ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velmor-soak"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "velmor-soak [run]: tills side by side against velmor-sandbox with chaos on, then the "
        "ledger checks.\nvelmor-soak check --record FILE --ledger FILE: the checks alone.\n"
        "The environment's SOAK_SEED, SOAK_OPS, SOAK_TILLS, SOAK_CHAOS, SOAK_LOCK_PERCENT, "
        "SOAK_DIR, SOAK_SIGQUIT, SOAK_MAX_SECONDS, SOAK_RUNS_TABLE and SOAK_RUNS_NOTE stand in "
        "for the options."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("run (default) or check"));
    parser.addOptions({
        {QStringLiteral("seed"), QStringLiteral("The run's seed (default: the clock)."),
         QStringLiteral("N")},
        {QStringLiteral("ops"), QStringLiteral("Operations in all (default 200)."),
         QStringLiteral("N")},
        {QStringLiteral("tills"), QStringLiteral("Tills side by side (default 4)."),
         QStringLiteral("N")},
        {QStringLiteral("chaos"), QStringLiteral("Percent of exchanges faulted (default 25)."),
         QStringLiteral("PERCENT")},
        {QStringLiteral("lock-percent"),
         QStringLiteral("Percent of the till processes whose queue is locked (default 10)."),
         QStringLiteral("PERCENT")},
        {QStringLiteral("max-seconds"), QStringLiteral("Stop issuing operations after this long."),
         QStringLiteral("S")},
        {QStringLiteral("sigquit"),
         QStringLiteral("Draw SIGQUIT beside SIGINT and SIGTERM as a stop signal (1: on, "
                        "the default; 0: off); the till holds it like SIGINT."),
         QStringLiteral("0|1")},
        {QStringLiteral("work-dir"),
         QStringLiteral("Where the tills' files, the record and the ledger go."),
         QStringLiteral("DIR")},
        {QStringLiteral("till"), QStringLiteral("The till program."), QStringLiteral("FILE")},
        {QStringLiteral("plugin"), QStringLiteral("The plug-in."), QStringLiteral("FILE")},
        {QStringLiteral("sandbox"), QStringLiteral("The velmor-sandbox program."),
         QStringLiteral("FILE")},
        {QStringLiteral("runs-table"),
         QStringLiteral("A page whose runs table (between its soak markers) gets this run's "
                        "row on top, e.g. docs/reliability.md."),
         QStringLiteral("FILE")},
        {QStringLiteral("runs-note"),
         QStringLiteral("What that row says of the run besides its settings, e.g. the commit."),
         QStringLiteral("TEXT")},
        {QStringLiteral("record"), QStringLiteral("check: the till record."),
         QStringLiteral("FILE")},
        {QStringLiteral("ledger"), QStringLiteral("check: the service's ledger."),
         QStringLiteral("FILE")},
    });
    parser.process(app);

    const QStringList positional = parser.positionalArguments();
    const QString command = positional.isEmpty() ? QStringLiteral("run") : positional.first();
    if (command == QLatin1String("check"))
        return check(parser.value(QStringLiteral("record")),
                     parser.value(QStringLiteral("ledger")));
    if (command != QLatin1String("run")) {
        QTextStream(stderr) << "velmor-soak: unknown command " << command << "\n";
        return 2;
    }

    SoakRun::Settings settings;
    bool ok = true;
    const auto number = [&ok](const QString &text, qint64 minimum) {
        bool parsed = false;
        const qint64 value = text.toLongLong(&parsed);
        ok = ok && parsed && value >= minimum;
        return value;
    };
    const QString seed = setting(parser, "seed", "SOAK_SEED", QString());
    settings.seed = seed.isEmpty() ? quint64(QDateTime::currentMSecsSinceEpoch() % 1000000000)
                                   : quint64(number(seed, 0));
    settings.operations = int(number(setting(parser, "ops", "SOAK_OPS", QStringLiteral("200")), 1));
    settings.tills = int(number(setting(parser, "tills", "SOAK_TILLS", QStringLiteral("4")), 1));
    settings.chaosPercent =
        int(number(setting(parser, "chaos", "SOAK_CHAOS", QStringLiteral("25")), 0));
    settings.lockPercent = int(number(
        setting(parser, "lock-percent", "SOAK_LOCK_PERCENT", QString::number(settings.lockPercent)),
        0));
    settings.quitSignal =
        number(setting(parser, "sigquit", "SOAK_SIGQUIT", QStringLiteral("1")), 1) != 0;
    settings.maxSeconds = int(number(
        setting(parser, "max-seconds", "SOAK_MAX_SECONDS", QString::number(settings.maxSeconds)),
        1));
    // Absolute: every till runs in a directory of its own.
    const auto absolute = [](const QString &path) {
        return path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
    };
    settings.workDir = absolute(setting(parser, "work-dir", "SOAK_DIR", QStringLiteral("soak")));
    settings.tillPath = absolute(parser.value(QStringLiteral("till")));
    settings.pluginPath = absolute(parser.value(QStringLiteral("plugin")));
    settings.sandboxPath = absolute(parser.value(QStringLiteral("sandbox")));
    settings.runsTable = absolute(setting(parser, "runs-table", "SOAK_RUNS_TABLE", QString()));
    settings.runsNote = setting(parser, "runs-note", "SOAK_RUNS_NOTE", QString());
    if (!ok || settings.tills > 16 || settings.chaosPercent > 100 || settings.lockPercent > 100 ||
        settings.tillPath.isEmpty() || settings.pluginPath.isEmpty() ||
        settings.sandboxPath.isEmpty()) {
        QTextStream(stderr) << "velmor-soak: unusable settings (see --help): numbers, at most 16 "
                               "tills, chaos 0 to 100, --till, --plugin and --sandbox\n";
        return 2;
    }
    SoakRun soak(settings);
    return soak.run();
}
