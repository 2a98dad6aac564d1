// Adds queue messages in a loop until it is killed (or COUNT of them, when given), reporting on
// stdout each message that the broker said it stored: "<id>\t<compact JSON>\n", one flushed
// line per message. The crash test kills it at random moments and checks the database against
// these lines; another till queueing a message is one given a COUNT.

#include "dbqueuebroker.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <cstdio>

namespace {

// Bounds of its own, so that a writer whose test died does not run on.
const int kMaxMessages = 20000;
const qint64 kMaxRunMs = 60000;

QJsonObject makeMessage(int seq)
{
    // Sizes vary so that rows straddle page boundaries; each line stays below the pipe's
    // atomic-write size, so the reader never sees two lines interleaved.
    QJsonArray items;
    for (int i = 0; i < 1 + seq % 7; ++i) {
        items.append(
            QJsonObject{{QStringLiteral("name"), QStringLiteral("Товар №%1 «%2»").arg(i).arg(seq)},
                        {QStringLiteral("quantity"), 1 + i},
                        {QStringLiteral("sum"), 10.5 * (i + 1)}});
    }
    return QJsonObject{
        {QStringLiteral("seq"), seq},
        {QStringLiteral("orderId"), QStringLiteral("заказ-%1").arg(seq)},
        {QStringLiteral("refund"),
         QJsonObject{{QStringLiteral("order"),
                      QJsonObject{{QStringLiteral("refund"),
                                   QJsonObject{{QStringLiteral("id"), seq},
                                               {QStringLiteral("items"), items}}}}}}},
        {QStringLiteral("padding"), QString(seq % 13 * 17, QChar(0x0416))},
        {QStringLiteral("valutCode"), 643}};
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DATABASE [COUNT]\n", argv[0]);
        return 2;
    }
    const int count = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : kMaxMessages;
    DBQueueBroker broker(QString::fromLocal8Bit(argv[1]));

    QElapsedTimer clock;
    clock.start();
    for (int seq = 1; seq <= qMin(count, kMaxMessages) && clock.elapsed() < kMaxRunMs; ++seq) {
        const QJsonObject message = makeMessage(seq);
        qint64 id = 0;
        if (!broker.addMessage(QStringLiteral("processing"), message, QStringLiteral("w"), &id))
            continue;
        const QByteArray line = QByteArray::number(id) + '\t' +
                                QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n';
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        std::fflush(stdout);
    }
    return 0;
}
