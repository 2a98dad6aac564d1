#include "route.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QList>

namespace sandbox {

Route Route::of(const QByteArray &basePath, const std::string &method, const std::string &target)
{
    Route result;
    QByteArray path = QByteArray::fromStdString(target);
    const int query = path.indexOf('?');
    if (query >= 0)
        path.truncate(query);
    if (path.startsWith(ControlPrefix)) {
        const QByteArray name = path.mid(int(qstrlen(ControlPrefix)));
        if (name == "ledger" && (method == "GET" || method == "HEAD"))
            result.kind = Ledger;
        else if (name == "heal" && method == "POST")
            result.kind = Heal;
        return result;
    }
    if (!path.startsWith(basePath))
        return result;
    const QByteArray rest = path.mid(basePath.size());
    const bool isPost = method == "POST";

    if (rest == "/create_offline") {
        result.kind = isPost ? Found : WrongMethod;
        result.endpoint = Endpoint::Create;
        return result;
    }
    const QList<QByteArray> parts = rest.split('/');
    if (parts.size() != 3 || !parts.at(0).isEmpty() || parts.at(1).isEmpty())
        return result;
    const QByteArray &action = parts.at(2);
    bool wantsPost = true;
    if (action == "info") {
        result.endpoint = Endpoint::Info;
        wantsPost = false;
    } else if (action == "cancel") {
        result.endpoint = Endpoint::Cancel;
    } else if (action == "refund") {
        result.endpoint = Endpoint::Refund;
    } else {
        return result;
    }
    const bool isGet = method == "GET" || method == "HEAD";
    result.kind = (wantsPost ? isPost : isGet) ? Found : WrongMethod;
    const QByteArray id = QByteArray::fromPercentEncoding(parts.at(1));
    result.orderId = QString::fromUtf8(id.constData(), id.size());
    return result;
}

QString Route::orderIdIn(const std::string &body) const
{
    if (endpoint != Endpoint::Create)
        return orderId;
    return QJsonDocument::fromJson(QByteArray::fromStdString(body))
        .object()
        .value(QStringLiteral("order"))
        .toObject()
        .value(QStringLiteral("id"))
        .toString();
}

bool isAuthorized(const std::string &authorizationHeader, const QString &login,
                  const QString &password)
{
    const QByteArray header = QByteArray::fromStdString(authorizationHeader);
    const int space = header.indexOf(' ');
    if (space < 0 || header.left(space).toLower() != "basic")
        return false;
    const QByteArray decoded = QByteArray::fromBase64(header.mid(space + 1).trimmed(),
                                                      QByteArray::AbortOnBase64DecodingErrors);
    return decoded == (login + QLatin1Char(':') + password).toUtf8();
}

} // namespace sandbox
