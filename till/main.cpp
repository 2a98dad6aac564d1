#include "signalhold.h"
#include "standardstreams.h"
#include "till.h"

#include <QCoreApplication>
#include <QStringList>

#include <csignal>

int main(int argc, char **argv)
{
    // First of all: a run asked for an operation prints its answer line whenever a stop signal
    // comes. A command that is no operation gives the signals back (Till::run).
    till::SignalHold::begin();
    // Before anything opens a file, so that no log or database lands on a closed standard
    // stream's descriptor and receives what is printed there.
    till::StandardStreams::guard();
    // A closed pipe on standard output or error must fail a write, not end a sale in flight.
    std::signal(SIGPIPE, SIG_IGN);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("till"));
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return till::Till().run(arguments);
}
