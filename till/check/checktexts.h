#pragma once

#include <QDateTime>
#include <QString>

namespace till {

// Every text the set-up check prints, in English, each under a key of its own, so that a
// translation catalogue can take them over key by key. "%1", "%2", ... stand for the
// arguments the caller fills in with QString::arg.
namespace CheckTexts {

// The text under `key`; the key itself when there is none, so that a missing text shows up
// in the output instead of vanishing.
QString text(const char *key);
// A certificate's or a message's time as the checks print it, in UTC; "unknown" when invalid.
QString dateText(const QDateTime &time);
// A hint that is mended in the configuration, followed by the file to edit.
QString inFile(const QString &hint, const QString &file);

} // namespace CheckTexts

} // namespace till
