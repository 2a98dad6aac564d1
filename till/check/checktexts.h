#pragma once

#include <QDateTime>
#include <QString>

namespace till {

// Every text the set-up check prints, each under a key of its own, in English whatever the
// till's --lang: the Qt catalogue translations/tillcheck_en.ts holds them by key and is built
// into the program. "%1", "%2", ... stand for the arguments the caller fills in with
// QString::arg.
namespace CheckTexts {

// The text under `key`; the key itself when the catalogue has none, so that a missing text
// shows up in the output instead of vanishing.
QString text(const char *key);
// A certificate's or a message's time as the checks print it, in UTC; "unknown" when invalid.
QString dateText(const QDateTime &time);
// A hint that is mended in the configuration, followed by the file to edit.
QString inFile(const QString &hint, const QString &file);

} // namespace CheckTexts

} // namespace till
