#pragma once

#include "transportsettings.h"
#include <tr.h>

#include <QString>
#include <QUrl>

#include <curl/curl.h>

// The operator's messages for a transfer that failed below HTTP, and what they may show.
namespace transport {

// The URL as a message or a log line may show it: without user name and password.
QString safeUrlText(const QUrl &url);

// The message for a failed exchange or probe: `errorText` is libcurl's error buffer, read on
// the handle that failed; `bodyTooLarge` tells that the body sink gave up on the answer.
tr::Tr failureMessage(CURL *handle, CURLcode code, const char *errorText, bool bodyTooLarge,
                      const QUrl &url, const TransportSettings &settings);

// Whether the server refused our client certificate. With TLS 1.3 its alert comes after the
// handshake, so it may surface as a failed read or write rather than a failed connect.
bool isClientCertificateRejection(CURLcode code, const char *errorText);

// A header the request could not carry; `name` is empty when it cannot be shown either.
tr::Tr badHeaderMessage(const QString &name);

// libcurl gave no handle.
tr::Tr noTransportMessage();

} // namespace transport
