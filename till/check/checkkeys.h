#pragma once

#include <QString>

// The configuration keys the set-up check looks at, spelt as the plug-in and the host read
// them; each key is also the name of its own check.
namespace CheckKeys {

inline const QString Url = QStringLiteral("Velmor:url");
inline const QString Login = QStringLiteral("Velmor:login");
inline const QString Password = QStringLiteral("Velmor:password");
inline const QString Timeout = QStringLiteral("Velmor:timeout");
// The plug-in reads the interval from a section spelt "Velmro"; under "Velmor" it is ignored.
inline const QString Interval = QStringLiteral("Velmro:infoRequestInterval");
inline const QString MisplacedInterval = QStringLiteral("Velmor:infoRequestInterval");
inline const QString CertificatePath = QStringLiteral("Velmor:certificatePath");
inline const QString CertificatePassword = QStringLiteral("Velmor:certificatePassword");
inline const QString CaFile = QStringLiteral("Network:caFile");

} // namespace CheckKeys
