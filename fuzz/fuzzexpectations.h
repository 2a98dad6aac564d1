#pragma once

#include <restresponse.h>
#include <velmor/answerdecoding.h>
#include <velmor/requestresult.h>

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QUrl>

// What the client must make of an answer and where its requests must go, written out
// independently of the client's own code, for the entries to hold it against.
namespace fuzzexpectations {

// The body as the real transport keeps it: only a JSON object survives.
QJsonObject parseBody(const QByteArray &body);

// A transport failure when `networkError` is set, otherwise the answer `httpCode` with `json`.
RestResponse failedOrAnswered(int httpCode, int networkError, const QJsonObject &json);

// The service's refusal: a 4xx with an "error" object whose "code" is text, and no transport
// failure. Nothing else proves a request was not carried out.
bool isRefusal(const RestResponse &response);

// What the decoding must make of `response`, written out independently of it: only a 200
// answer without "error", or the service's refusal, says anything.
bool expectNoResponse(const RestResponse &response);

// Whether the answer names another order than `orderId` in "order"."id": the client takes it
// as no answer about the order it asked about.
bool namesAnotherOrder(const QJsonObject &json, const QString &orderId);

// Whether `response` confirms the cancellation of order `orderId`: an answer that came (no
// transport failure, whatever body arrived with one), 200, about this order, with the
// cancelled state.
bool confirmsCancellation(const RestResponse &response, const QString &orderId);

// The fields the decoding sets, alike in both results.
bool sameDecoding(const velmor::RequestResult &a, const velmor::RequestResult &b);

// Aborts unless `result` is what the client must make of `response` for order `currentId`.
void checkDecoded(const velmor::RequestResult &result, const RestResponse &response,
                  const QString &currentId);

// The id must arrive as exactly one path segment between the base path and the operation,
// whatever characters it holds.
void checkOrderPath(const QUrl &url, const QString &orderId, const QString &operation);

} // namespace fuzzexpectations
