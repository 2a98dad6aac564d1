#include "journalrow.h"

#include "journaldatabase.h"
#include "journalstatement.h"

#include <QJsonDocument>

#include <sqlite3.h>

namespace velmor {

namespace {

// The digits of `text` from `from` to `to` as a number; -1 when one is no digit.
int digitsAt(const QString &text, int from, int to)
{
    int value = 0;
    for (int i = from; i < to; ++i) {
        const QChar c = text.at(i);
        if (!c.isDigit())
            return -1;
        value = value * 10 + c.digitValue();
    }
    return value;
}

} // namespace

const char *const JournalRow::LastSlip =
    " WHERE json_extract(CASE WHEN json_valid(note) THEN note END, '$.slip') IS NOT NULL"
    " ORDER BY id DESC LIMIT 1";

QByteArray JournalRow::select(bool withNote)
{
    return QByteArray("SELECT id, kind, order_id, refund_id, amount, state, outcome, status, rrn,"
                      " recorded, answered, resolved, queue_message, refund_body, ") +
           (withNote ? "note" : "''") + " FROM entries";
}

Journal::Entry JournalRow::read(const JournalStatement &row)
{
    Journal::Entry entry;
    entry.id = row.number(0);
    entry.kind =
        row.text(1) == QLatin1String("refund") ? Journal::Kind::Refund : Journal::Kind::Sale;
    entry.orderId = row.text(2);
    entry.refundId = row.text(3);
    entry.amountKopecks = row.number(4);
    const QString state = row.text(5);
    for (const Journal::State candidate :
         {Journal::State::Open, Journal::State::Answered, Journal::State::Unknown,
          Journal::State::ReversalQueued, Journal::State::Finished}) {
        if (Journal::stateName(candidate) == state)
            entry.state = candidate;
    }
    const QString outcome = row.text(6);
    for (const Journal::Outcome candidate : {Journal::Outcome::Done, Journal::Outcome::Queued,
                                             Journal::Outcome::Failed, Journal::Outcome::Unknown}) {
        if (Journal::outcomeName(candidate) == outcome)
            entry.outcome = candidate;
    }
    entry.status = int(row.number(7));
    entry.rrn = row.text(8);
    entry.recorded = parseTime(row.text(9));
    entry.answered = parseTime(row.text(10));
    entry.resolved = parseTime(row.text(11));
    entry.queueMessage = parseObject(row.text(12));
    entry.refundBody = parseObject(row.text(13));
    entry.note = parseObject(row.text(14));
    return entry;
}

QString JournalRow::timeText(const QDateTime &time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QString JournalRow::nowText()
{
    return timeText(QDateTime::currentDateTimeUtc());
}

QDateTime JournalRow::parseTime(const QString &text)
{
    if (text.isEmpty())
        return QDateTime();
    // The form the journal writes, "2026-12-09T10:00:00.000Z", read directly: Qt's parser
    // costs more than the rest of a resolution that reads a thousand entries.
    if (text.size() == 24 && text.at(4) == QLatin1Char('-') && text.at(7) == QLatin1Char('-') &&
        text.at(10) == QLatin1Char('T') && text.at(13) == QLatin1Char(':') &&
        text.at(16) == QLatin1Char(':') && text.at(19) == QLatin1Char('.') &&
        text.at(23) == QLatin1Char('Z')) {
        const QDate date(digitsAt(text, 0, 4), digitsAt(text, 5, 7), digitsAt(text, 8, 10));
        const QTime time(digitsAt(text, 11, 13), digitsAt(text, 14, 16), digitsAt(text, 17, 19),
                         digitsAt(text, 20, 23));
        if (date.isValid() && time.isValid())
            return QDateTime(date, time, Qt::UTC);
    }
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (time.isValid())
        time = time.toUTC();
    return time;
}

QByteArray JournalRow::jsonText(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QJsonObject JournalRow::parseObject(const QString &text)
{
    return text.isEmpty() ? QJsonObject() : QJsonDocument::fromJson(text.toUtf8()).object();
}

bool JournalRow::readAll(JournalDatabase &db, const QByteArray &sql,
                         const std::function<bool(JournalStatement &)> &bind,
                         QList<Journal::Entry> *entries)
{
    if (!db.ensureOpen())
        return false;
    JournalStatement select(db.handle(), sql.constData());
    if (!select)
        return db.fail(QStringLiteral("cannot prepare a journal read"));
    if (bind && !bind(select))
        return db.fail(QStringLiteral("cannot bind a journal read"));
    int rc = SQLITE_ROW;
    while ((rc = select.step()) == SQLITE_ROW)
        entries->append(read(select));
    if (rc != SQLITE_DONE)
        return db.fail(QStringLiteral("cannot read journal %1").arg(db.path()));
    db.setError(QString());
    return true;
}

} // namespace velmor
