#pragma once

#include <QHash>
#include <QString>
#include <QUrl>

namespace velmor {

// Where a request goes and what it says about itself: URLs, paths and headers.

// The base URL with `path` appended to its path; one slash stands for two.
QUrl requestUrl(const QUrl &base, const QString &path);

// Places an order id into a path as one segment, whatever characters it holds.
QString pathSegment(const QString &id);

// The path of an operation on one order: "/{id}/{operation}".
QString orderPath(const QString &orderId, const QString &operation);

// The Base64 text that the Basic authorization header carries.
QString basicCredentials(const QString &login, const QString &password);

// The three headers every request carries.
QHash<QString, QString> requestHeaders(const QString &credentials, const QString &correlationId);

} // namespace velmor
