// A till's journal in a process of its own, for the liveness tests: opens the journal named by
// its first argument, records a sale of order "<second argument>" (answered when the third is
// "answer"), writes "recorded <entry id>" on a flushed line, then holds the journal open until it
// is killed, or closes it and ends when the third argument is "close".

#include <velmor/journal.h>

#include <QCoreApplication>
#include <QJsonObject>
#include <QThread>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s JOURNAL ORDER [answer|close]\n", argv[0]);
        return 2;
    }
    const QString then = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    velmor::Journal journal;
    if (!journal.open(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "%s\n", qPrintable(journal.errorString()));
        return 1;
    }
    const QString order = QString::fromLocal8Bit(argv[2]);
    const qint64 entry =
        journal.recordSale(order, 150000, QJsonObject{{QStringLiteral("orderId"), order}});
    if (entry == 0)
        return 1;
    if (then == QLatin1String("answer") &&
        !journal.markAnswered(entry, velmor::Journal::Outcome::Done, 0, order))
        return 1;
    std::printf("recorded %lld\n", static_cast<long long>(entry));
    std::fflush(stdout);
    if (then == QLatin1String("close"))
        return 0;
    // Bounded, so that a writer whose test died does not run on.
    for (int i = 0; i < 600; ++i)
        QThread::msleep(100);
    return 0;
}
