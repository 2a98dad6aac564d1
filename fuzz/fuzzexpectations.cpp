#include "fuzzexpectations.h"

#include "fuzzharness.h"

#include <tr.h>

#include <QJsonDocument>
#include <QJsonValue>
#include <QStringList>

#include <cstdio>

using fuzzharness::check;
using fuzzharness::utf8;

namespace fuzzexpectations {

// The body as the real transport keeps it: only a JSON object survives.
QJsonObject parseBody(const QByteArray &body)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    return error.error == QJsonParseError::NoError && document.isObject() ? document.object()
                                                                          : QJsonObject();
}

RestResponse failedOrAnswered(int httpCode, int networkError, const QJsonObject &json)
{
    RestResponse response;
    response.httpCode = httpCode;
    response.networkError = networkError;
    if (networkError > 0)
        response.errorMessage =
            tr::Tr(QStringLiteral("restClientFailure"), QStringLiteral("Нет ответа"));
    response.json = json;
    return response;
}

// The service's refusal: an answer (no transport failure) with a 4xx status and an "error"
// object whose "code" is text.
bool isRefusal(const RestResponse &response)
{
    if (response.networkError > 0 || response.httpCode < 400 || response.httpCode >= 500)
        return false;
    const QJsonValue error = response.json.value(QStringLiteral("error"));
    return error.isObject() && error.toObject().value(QStringLiteral("code")).isString();
}

// What the decoding must make of `response`, written out independently of it: only a 200
// answer without "error", or the service's refusal, says anything.
bool expectNoResponse(const RestResponse &response)
{
    if (isRefusal(response))
        return false;
    return response.networkError > 0 || response.httpCode != 200 ||
           response.json.contains(QStringLiteral("error"));
}

// Whether the answer names another order than `orderId` in "order"."id": the client takes it
// as no answer about the order it asked about.
bool namesAnotherOrder(const QJsonObject &json, const QString &orderId)
{
    const QJsonValue order = json.value(QStringLiteral("order"));
    if (!order.isObject())
        return false;
    const QJsonValue id = order.toObject().value(QStringLiteral("id"));
    // Ids are UUIDs, which a service may write in either case.
    return !id.isUndefined() &&
           !(id.isString() && id.toString().compare(orderId, Qt::CaseInsensitive) == 0);
}

bool confirmsCancellation(const RestResponse &response, const QString &orderId)
{
    return response.networkError <= 0 && response.httpCode == 200 &&
           !namesAnotherOrder(response.json, orderId) &&
           response.json.value(QStringLiteral("status")).toString() == QLatin1String("CANCELLED");
}

// The fields the decoding sets, alike in both results.
bool sameDecoding(const velmor::RequestResult &a, const velmor::RequestResult &b)
{
    return a.httpCode == b.httpCode && a.id == b.id && a.success == b.success &&
           a.noResponse == b.noResponse && a.errorCode == b.errorCode && a.message == b.message &&
           a.json == b.json && a.orderStatus == b.orderStatus;
}

void checkDecoded(const velmor::RequestResult &result, const RestResponse &response,
                  const QString &currentId)
{
    check(result.httpCode == response.httpCode, "the HTTP status is passed through");
    check(result.id == currentId, "the result carries the client's current id");
    check(result.json == response.json, "the body is passed through");
    check(result.orderStatus >= velmor::Undefined && result.orderStatus <= velmor::Processed,
          "the order status is one of the known values");

    const bool serviceError = isRefusal(response);
    check(result.noResponse == expectNoResponse(response), "no answer exactly when none came");
    if (result.noResponse)
        check(!result.success, "no answer is never a success");
    if (serviceError) {
        check(!result.success, "a service error is never a success");
        const QJsonValue code =
            response.json.value(QStringLiteral("error")).toObject().value(QStringLiteral("code"));
        const QString codeText = code.isString() ? code.toString() : QString();
        check(result.errorCode == codeText, "the error code is the service's code text");
    } else {
        check(result.errorCode.isEmpty(), "an error code only comes with a service error");
    }
    const bool answered = response.networkError == 0 && response.httpCode == 200 &&
                          !response.json.isEmpty() &&
                          !response.json.contains(QStringLiteral("error"));
    if (!answered)
        check(result.orderStatus == velmor::Undefined, "only the service's answer shows a state");
    if (result.orderStatus == velmor::Rejected) {
        check(!result.success, "a rejected order is never a success");
        check(result.message.key() == QLatin1String("velmorRejected"), "a rejected order says so");
    }
    if (!serviceError && !result.noResponse && result.orderStatus != velmor::Rejected)
        check(result.success, "any other answer is a success");
}

// The id must arrive as exactly one path segment between the base path and the operation,
// whatever characters it holds.
void checkOrderPath(const QUrl &url, const QString &orderId, const QString &operation)
{
    check(url.isValid(), "the request URL is valid");
    const QStringList segments = url.path(QUrl::FullyEncoded).split(QLatin1Char('/'));
    check(segments.size() == 4, "the id is one path segment");
    check(segments.at(0).isEmpty() && segments.at(1) == QLatin1String("merchant") &&
              segments.at(3) == operation,
          "the id sits between the base path and the operation");
    QByteArray decodedBytes = QByteArray::fromPercentEncoding(segments.at(2).toLatin1());
    if (orderId == QLatin1String(".") || orderId == QLatin1String(".."))
        decodedBytes = QByteArray::fromPercentEncoding(decodedBytes);
    const QString decoded = utf8(decodedBytes);
    // Text that UTF-8 cannot carry (an unpaired surrogate) goes out as its UTF-8 form.
    const QString expected = utf8(orderId.toUtf8());
    if (decoded != expected)
        std::fprintf(stderr, "id \"%s\" went out as %s\n", orderId.toUtf8().constData(),
                     url.toEncoded().constData());
    check(decoded == expected, "the segment decodes to the id");
}

} // namespace fuzzexpectations
