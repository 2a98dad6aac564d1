#include "journallisting.h"

#include <config.h>
#include <till/check/jsonline.h>
#include <velmor/journal.h>
#include <velmor/rounding.h>

#include <QFileInfo>

namespace till {

Result<QByteArray> JournalListing::read(const Config &config, const QDateTime &since, bool openOnly)
{
    const QString path = velmor::Journal::defaultPath(&config);
    // A till that never recorded anything has no journal yet: nothing to list.
    if (!QFileInfo::exists(path))
        return QByteArray();
    velmor::Journal journal;
    QList<velmor::Journal::Entry> entries;
    if (!journal.open(path, velmor::Journal::OpenMode::ReadOnly) ||
        !journal.readEntries(since, openOnly, &entries))
        return ResultError(
            QStringLiteral("journal %1: cannot be read: %2").arg(path, journal.errorString()));
    QByteArray lines;
    const auto timeText = [](const QDateTime &time) {
        return time.isValid() ? time.toUTC().toString(Qt::ISODateWithMs) : QString();
    };
    for (const velmor::Journal::Entry &entry : qAsConst(entries)) {
        JsonLine line;
        line.add(QStringLiteral("id"), double(entry.id))
            .add(QStringLiteral("kind"), velmor::Journal::kindName(entry.kind))
            .add(QStringLiteral("orderId"), entry.orderId)
            .add(QStringLiteral("refundId"), entry.refundId)
            .add(QStringLiteral("amount"), velmor::roublesOf(entry.amountKopecks))
            .add(QStringLiteral("state"), velmor::Journal::stateName(entry.state))
            .add(QStringLiteral("outcome"), velmor::Journal::outcomeName(entry.outcome))
            .add(QStringLiteral("recorded"), timeText(entry.recorded))
            .add(QStringLiteral("answered"), timeText(entry.answered))
            .add(QStringLiteral("resolved"), timeText(entry.resolved));
        lines += line.toString().toUtf8() + '\n';
    }
    return lines;
}

} // namespace till
