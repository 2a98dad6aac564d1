#include "orderstore.h"
#include "sandbox.h"

#include <version/version.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <pthread.h>
#include <signal.h>

namespace {

// Down windows per thousand requests under --chaos unless it says otherwise.
constexpr int DefaultDownPerMille = 5;

const std::pair<const char *, sandbox::Sandbox::Endpoint> EndpointNames[] = {
    {"create", sandbox::Sandbox::Endpoint::Create},
    {"info", sandbox::Sandbox::Endpoint::Info},
    {"cancel", sandbox::Sandbox::Endpoint::Cancel},
    {"refund", sandbox::Sandbox::Endpoint::Refund},
};

QString description()
{
    QString text;
    QTextStream out(&text);
    out << "A local Velmor merchant service for trying a till against.\n\n"
        << "The scanned code (\"clientInfo\".\"id\") chooses the order's life; states move on\n"
        << "with the info polls (--polls-per-state polls each):\n"
        << "  " << sandbox::Sandbox::CodeApprove
        << "         created, scoring, approved, completed "
        << "(also any unknown code)\n"
        << "  " << sandbox::Sandbox::CodeReject << "          created, scoring, rejected\n"
        << "  " << sandbox::Sandbox::CodeHold
        << "            created, scoring, approved until cancelled\n"
        << "  " << sandbox::Sandbox::CodeServiceCancel
        << "  created, scoring, canceled by the service\n"
        << "  " << sandbox::Sandbox::CodeSlowCreate << "     like " << sandbox::Sandbox::CodeApprove
        << ", the create answer held back --slow-create-ms\n"
        << "  " << sandbox::Sandbox::CodeError << "           create refused: \"client_rejected\"\n"
        << "  " << sandbox::Sandbox::CodePaid << "            completed from the start\n\n"
        << "Faults (--fault ENDPOINT=FAULT[:MS], ENDPOINT one of create, info, cancel, refund;\n"
        << "only delay, trickle, lost, upper-case-id, late-create and the -after ones let the\n"
        << "request take effect; one meant for other endpoints leaves the request alone):\n";
    for (const sandbox::Sandbox::FaultName &fault : sandbox::Sandbox::faultNames())
        out << "  " << QString::fromLatin1(fault.name).leftJustified(20) << fault.meaning << "\n";
    out << "\n--chaos SEED:PERCENT[:DOWN] draws a fault for PERCENT of the requests, from a\n"
        << "generator seeded with SEED, among all of them but no-answer that mean\n"
        << "something for the request's endpoint (delay waits\n"
        << "--chaos-delay-ms), and goes down (every request dropped) for 200 to 800 ms at\n"
        << "DOWN requests in a thousand (default " << DefaultDownPerMille << "). "
        << "It turns on the control routes:\n"
        << "  GET  /_soak/ledger   orders, refunds, cancellations, every exchange and its fault\n"
        << "  POST /_soak/heal     chaos off, late creates arrive, lagging orders seen again\n";
    return text;
}

bool parseFault(const QString &text, sandbox::Sandbox::Endpoint *endpoint,
                sandbox::Sandbox::Fault *fault, int *delayMs)
{
    const int equals = text.indexOf(QLatin1Char('='));
    if (equals <= 0)
        return false;
    const QString endpointName = text.left(equals);
    QString faultName = text.mid(equals + 1);
    *delayMs = 0;
    const int colon = faultName.indexOf(QLatin1Char(':'));
    if (colon >= 0) {
        bool ok = false;
        *delayMs = faultName.mid(colon + 1).toInt(&ok);
        if (!ok || *delayMs < 0)
            return false;
        faultName.truncate(colon);
    }
    bool endpointFound = false;
    for (const auto &entry : EndpointNames) {
        if (endpointName == QLatin1String(entry.first)) {
            *endpoint = entry.second;
            endpointFound = true;
        }
    }
    if (!endpointFound)
        return false;
    for (const sandbox::Sandbox::FaultName &entry : sandbox::Sandbox::faultNames()) {
        if (faultName == QLatin1String(entry.name)) {
            *fault = entry.fault;
            return true;
        }
    }
    return false;
}

// "SEED:PERCENT[:DOWN]"; false when it is not that.
bool parseChaos(const QString &text, sandbox::Sandbox::Chaos *chaos)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() < 2 || parts.size() > 3)
        return false;
    bool ok = false;
    chaos->seed = parts.at(0).toUInt(&ok);
    if (!ok)
        return false;
    chaos->percent = parts.at(1).toInt(&ok);
    if (!ok || chaos->percent < 0 || chaos->percent > 100)
        return false;
    chaos->downPerMille = DefaultDownPerMille;
    if (parts.size() == 3) {
        chaos->downPerMille = parts.at(2).toInt(&ok);
        if (!ok || chaos->downPerMille < 0 || chaos->downPerMille > 1000)
            return false;
    }
    return true;
}

int intOption(const QCommandLineParser &parser, const QString &name, int minimum, bool *ok)
{
    const int value = parser.value(name).toInt(ok);
    if (!*ok || value < minimum) {
        *ok = false;
        QTextStream(stderr) << "Invalid --" << name << ": " << parser.value(name) << "\n";
    }
    return value;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velmor-sandbox"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELMOR_VERSION));

    sandbox::Sandbox::Options defaults;
    QCommandLineParser parser;
    parser.setApplicationDescription(description());
    parser.addHelpOption();
    // --version prints "velmor-sandbox <version>" on standard output and exits with 0.
    parser.addVersionOption();
    parser.addOptions({
        {QStringLiteral("port"), QStringLiteral("Port to listen on (0: any free port)."),
         QStringLiteral("N"), QStringLiteral("8080")},
        {QStringLiteral("host"), QStringLiteral("Address to listen on (loopback by default)."),
         QStringLiteral("ADDRESS"), defaults.host},
        {QStringLiteral("base-path"), QStringLiteral("Path in front of every endpoint."),
         QStringLiteral("PATH"), defaults.basePath},
        {QStringLiteral("login"), QStringLiteral("Basic authorization login."),
         QStringLiteral("LOGIN"), defaults.login},
        {QStringLiteral("password"), QStringLiteral("Basic authorization password."),
         QStringLiteral("PASSWORD"), defaults.password},
        {QStringLiteral("polls-per-state"), QStringLiteral("Info polls each state lasts."),
         QStringLiteral("N"), QString::number(defaults.pollsPerState)},
        {QStringLiteral("slow-create-ms"),
         QStringLiteral("How long the create answer of %1 is held back.")
             .arg(QLatin1String(sandbox::Sandbox::CodeSlowCreate)),
         QStringLiteral("MS"), QString::number(defaults.slowCreateMs)},
        {QStringLiteral("cert"), QStringLiteral("TLS certificate (PEM); serves HTTPS when set."),
         QStringLiteral("FILE")},
        {QStringLiteral("key"), QStringLiteral("TLS private key (PEM)."), QStringLiteral("FILE")},
        {QStringLiteral("client-ca"),
         QStringLiteral("Require client certificates signed by this CA (PEM)."),
         QStringLiteral("FILE")},
        {QStringLiteral("no-keep-alive"),
         QStringLiteral("Close every connection after one request (each exchange then connects "
                        "and, over TLS, makes a handshake anew).")},
        {QStringLiteral("fault"),
         QStringLiteral("A fault on one endpoint, e.g. refund=drop or info=delay:5000; "
                        "repeatable."),
         QStringLiteral("ENDPOINT=FAULT[:MS]")},
        {QStringLiteral("chaos"),
         QStringLiteral("Draw a fault for PERCENT of the requests from a generator seeded with "
                        "SEED, and go down at DOWN requests in a thousand; see above."),
         QStringLiteral("SEED:PERCENT[:DOWN]")},
        {QStringLiteral("chaos-delay-ms"),
         QStringLiteral("How long a drawn delay holds its answer (past the client's timeout)."),
         QStringLiteral("MS"), QString::number(sandbox::Sandbox::Chaos().delayMs)},
        {QStringLiteral("state"),
         QStringLiteral("Keep the orders in this SQLite file, made if missing, so that the "
                        "sandbox started again on it knows them."),
         QStringLiteral("FILE")},
        {QStringLiteral("control-routes"),
         QStringLiteral("Serve GET /_soak/ledger and POST /_soak/heal without chaos.")},
    });
    parser.process(app);

    sandbox::Sandbox::Options options;
    bool ok = true;
    options.port = intOption(parser, QStringLiteral("port"), 0, &ok);
    if (ok)
        options.pollsPerState = intOption(parser, QStringLiteral("polls-per-state"), 1, &ok);
    if (ok)
        options.slowCreateMs = intOption(parser, QStringLiteral("slow-create-ms"), 0, &ok);
    sandbox::Sandbox::Chaos chaos;
    if (ok)
        chaos.delayMs = intOption(parser, QStringLiteral("chaos-delay-ms"), 0, &ok);
    if (!ok)
        return 2;
    const bool chaosOn = parser.isSet(QStringLiteral("chaos"));
    if (chaosOn && !parseChaos(parser.value(QStringLiteral("chaos")), &chaos)) {
        QTextStream(stderr) << "Invalid --chaos: " << parser.value(QStringLiteral("chaos"))
                            << " (SEED:PERCENT[:DOWN], PERCENT 0 to 100, DOWN 0 to 1000)\n";
        return 2;
    }
    options.controlRoutes = chaosOn || parser.isSet(QStringLiteral("control-routes"));
    options.host = parser.value(QStringLiteral("host"));
    options.basePath = parser.value(QStringLiteral("base-path"));
    options.login = parser.value(QStringLiteral("login"));
    options.password = parser.value(QStringLiteral("password"));
    options.certificateFile = parser.value(QStringLiteral("cert"));
    options.privateKeyFile = parser.value(QStringLiteral("key"));
    options.clientCaFile = parser.value(QStringLiteral("client-ca"));
    options.stateFile = parser.value(QStringLiteral("state"));
    // A till polls every second or so; a connection kept between polls spares each of them a
    // connect and a TLS handshake, as a real service's would.
    options.keepAlive = !parser.isSet(QStringLiteral("no-keep-alive"));
    if (options.certificateFile.isEmpty() != options.privateKeyFile.isEmpty() ||
        (options.certificateFile.isEmpty() && !options.clientCaFile.isEmpty())) {
        QTextStream(stderr) << "--cert and --key go together; --client-ca needs both\n";
        return 2;
    }

    // Signals are taken synchronously by this thread; the service's threads, started below,
    // inherit the mask and never see them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    // The state file is tried first, so that its fault is told as its own.
    if (!options.stateFile.isEmpty()) {
        sandbox::OrderStore store;
        QVector<sandbox::Order> orders;
        if (!store.open(options.stateFile) || !store.load(&orders)) {
            QTextStream(stderr) << "Unusable --state: " << store.errorString() << "\n";
            return 2;
        }
    }

    sandbox::Sandbox sandbox(options);
    for (const QString &text : parser.values(QStringLiteral("fault"))) {
        sandbox::Sandbox::Endpoint endpoint = sandbox::Sandbox::Endpoint::Create;
        sandbox::Sandbox::Fault fault = sandbox::Sandbox::Fault::None;
        int delayMs = 0;
        if (!parseFault(text, &endpoint, &fault, &delayMs)) {
            QTextStream(stderr) << "Invalid --fault: " << text << "\n";
            return 2;
        }
        sandbox.setFault(endpoint, fault, delayMs);
    }
    if (chaosOn)
        sandbox.setChaos(chaos);
    if (!sandbox.start()) {
        QTextStream(stderr) << "Cannot listen on " << options.host << ":" << options.port
                            << " (port taken, or certificate and key not loadable)\n";
        return 1;
    }
    QTextStream(stdout) << "Velmor sandbox listening on " << sandbox.baseUrl() << Qt::endl;

    int received = 0;
    sigwait(&stopSignals, &received);
    sandbox.stop();
    return 0;
}
