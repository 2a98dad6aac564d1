#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

class Config;

namespace Log4Qt {
class Logger;
}

namespace velmor {

// The configuration keys the plug-in reads, each spelt as it is read: the interval's section is
// "Velmro", and the same key under "Velmor" is not read at all.
namespace clientkeys {
inline const QString Url = QStringLiteral("Velmor:url");
inline const QString Login = QStringLiteral("Velmor:login");
inline const QString Password = QStringLiteral("Velmor:password");
inline const QString Timeout = QStringLiteral("Velmor:timeout");
inline const QString InfoRequestInterval = QStringLiteral("Velmro:infoRequestInterval");
inline const QString CertificatePath = QStringLiteral("Velmor:certificatePath");
inline const QString CertificatePassword = QStringLiteral("Velmor:certificatePassword");
inline const QString UnknownOrderTimeout = QStringLiteral("Velmor:unknownOrderTimeout");

// Every key above.
QStringList all();
} // namespace clientkeys

// What an absent key gives, and the bounds a configured value is held to.
inline const QString DefaultUrl = QStringLiteral("http://localhost");
constexpr int DefaultTimeout = 60;
constexpr int DefaultInfoRequestInterval = 10;
constexpr int ShortestInfoRequestInterval = 1;
// How long after its sale an order the service does not know may still turn up (a create held
// on its way by a slow gateway), in seconds: until then its queued cancellation waits.
constexpr int DefaultUnknownOrderTimeout = 3600;
constexpr int ShortestUnknownOrderTimeout = 600;

// The timeout a sale uses for a configured one: an exchange without a time limit would hang
// the till, so zero or less gives the default.
int usableTimeout(int configured);
// The interval a sale uses: polls back to back would flood the service, so one second is the
// shortest.
int usableInfoRequestInterval(int configured);
// The wait for an unknown order a replay uses: a cancellation dropped before a late create
// arrives would leave that order live, so ten minutes is the shortest.
int usableUnknownOrderTimeout(int configured);

// The client's connection settings as the configuration gives them, made safe to use.
struct ClientSettings
{
    // The value of the Basic authorization header.
    QString credentials;
    QUrl url;
    int timeout = DefaultTimeout;
    int infoRequestInterval = DefaultInfoRequestInterval;
    int unknownOrderTimeout = DefaultUnknownOrderTimeout;
    QString certificatePath;
    QString certificatePassword;
};

// Reads the plug-in's keys from `config`, a missing key giving its default. The URL, the
// timeout and the interval go to `logger` (not null) as they are taken; secrets never do.
ClientSettings readClientSettings(const Config &config, Log4Qt::Logger *logger);

} // namespace velmor
