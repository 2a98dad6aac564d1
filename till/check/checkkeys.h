#pragma once

#include <velmor/clientsettings.h>

#include <QString>

namespace till {

// The configuration keys the set-up check looks at besides the plug-in's own
// (velmor::clientkeys); each key is also the name of its own check.
namespace CheckKeys {

// The interval under the section a reader would expect, where the plug-in never reads it.
inline const QString MisplacedInterval = QStringLiteral("Velmor:infoRequestInterval");
// The host's extra CA file, read by the transport.
inline const QString CaFile = QStringLiteral("Network:caFile");

// What the shipped velmor.ini holds until the till is set up: the login and password, and a
// host under the domain reserved never to resolve.
inline const QString Placeholder = QStringLiteral("CHANGE-ME");
inline const QString PlaceholderDomain = QStringLiteral(".invalid");

} // namespace CheckKeys

} // namespace till
