#include "requestaddress.h"

#include <QByteArray>

namespace velmor {

QUrl requestUrl(const QUrl &base, const QString &path)
{
    // The operation path arrives with its order id already encoded as one segment, so the
    // joined path is kept in encoded form from here on.
    QUrl result(base);
    QString text = result.path(QUrl::FullyEncoded) + path;
    text.replace(QStringLiteral("//"), QStringLiteral("/"));
    result.setPath(text, QUrl::StrictMode);
    return result;
}

QString pathSegment(const QString &id)
{
    // Everything but unreserved characters is percent-encoded, so "/", "?", "#" and "%" stay
    // inside the segment. A URL normalises an encoded dot back to a dot, and a dot segment
    // would climb the path, so the dots of "." and ".." go out encoded twice: the service
    // reads an id that names no order instead of another endpoint.
    if (id == QLatin1String(".") || id == QLatin1String(".."))
        return QString(id).replace(QLatin1Char('.'), QStringLiteral("%252E"));
    return QString::fromLatin1(QUrl::toPercentEncoding(id));
}

QString orderPath(const QString &orderId, const QString &operation)
{
    return QLatin1Char('/') + pathSegment(orderId) + QLatin1Char('/') + operation;
}

QString basicCredentials(const QString &login, const QString &password)
{
    return QString::fromLatin1(
        QStringLiteral("%1:%2").arg(login, password).toLocal8Bit().toBase64());
}

QHash<QString, QString> requestHeaders(const QString &credentials, const QString &correlationId)
{
    QHash<QString, QString> headers;
    headers.insert(QStringLiteral("Content-Type"), QStringLiteral("application/json"));
    headers.insert(QStringLiteral("Authorization"), QStringLiteral("Basic %1").arg(credentials));
    headers.insert(QStringLiteral("X-Correlation-ID"), correlationId);
    return headers;
}

} // namespace velmor
