#include "standardstreams.h"
#include "till.h"

#include <QCoreApplication>
#include <QStringList>

#include <csignal>

int main(int argc, char **argv)
{
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
