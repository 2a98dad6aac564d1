#pragma once

#include "tlsoptions.h"
#include "transportsettings.h"
#include <connectionprobe.h>

#include <QUrl>

namespace transport {

// Resolves the URL's host, opens a connection and, for https, makes the handshake with the
// trust and client certificate an exchange would have, then closes it without a request.
// Uses a handle of its own, bounded by the settings' timeout.
ConnectionProbe probeConnection(const QUrl &url, const TransportSettings &settings,
                                const tls::Defaults &trust);

} // namespace transport
