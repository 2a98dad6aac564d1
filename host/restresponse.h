#pragma once

#include "tr.h"

#include <QJsonObject>

// What the REST client knows of its last exchange.
struct RestResponse
{
    int httpCode = 0;
    // Greater than 0 when the exchange failed below HTTP (refused, timed out, cut off, TLS).
    int networkError = 0;
    tr::Tr errorMessage;
    // The body when it is a JSON object; empty otherwise.
    QJsonObject json;
};
