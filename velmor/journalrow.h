#pragma once

#include "journal.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <functional>

namespace velmor {

class JournalDatabase;
class JournalStatement;

// An entry as a row of the journal's file: its columns read into a Journal::Entry, and times
// and messages in the form they are stored.
class JournalRow
{
public:
    // The select of every column of an entry, in the order read() reads them; a query appends
    // its WHERE. Without `withNote` (a file of the first schema) the note reads as empty.
    static QByteArray select(bool withNote);
    // The WHERE and ORDER of the newest entry whose note holds a slip: newest by id, as the
    // clock may have been set back. Only for a file with the note (JournalDatabase::hasNote).
    static const char *const LastSlip;

    // The entry in the current row of a statement made from Select.
    static Journal::Entry read(const JournalStatement &row);
    // Every entry `sql` (made from select()) selects, with `bind` (when set) filling its
    // parameters, appended to `entries`; false with the database's error set.
    static bool readAll(JournalDatabase &db, const QByteArray &sql,
                        const std::function<bool(JournalStatement &)> &bind,
                        QList<Journal::Entry> *entries);

    // "2026-12-09T10:00:00.000Z": UTC with milliseconds.
    static QString timeText(const QDateTime &time);
    static QString nowText();
    // Reads timeText()'s form fast and any ISO time otherwise, in UTC; invalid when empty.
    static QDateTime parseTime(const QString &text);
    // An object as compact JSON, and back (an empty text reads as an empty object).
    static QByteArray jsonText(const QJsonObject &object);
    static QJsonObject parseObject(const QString &text);
};

} // namespace velmor
