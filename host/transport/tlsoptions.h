#pragma once

#include "transportsettings.h"

#include <QByteArray>

#include <curl/curl.h>

// The trust and the client certificate of a transfer, the same for exchanges and probes.
namespace tls {

// libcurl's own trust locations, fallen back on when the host names no extra CA file.
struct Defaults
{
    QByteArray caInfo;
    QByteArray caPath;
};

// What libcurl would use on a fresh handle.
Defaults readDefaults(CURL *handle);

// The trust store (the system's plus the host's extra CA file) and the client certificate.
// The settings' byte arrays must outlive the transfer.
void apply(CURL *handle, const Defaults &defaults, const TransportSettings &settings);

} // namespace tls
