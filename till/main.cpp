#include "till.h"

#include <QCoreApplication>
#include <QStringList>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("till"));
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return Till().run(arguments);
}
