#include "reachability.h"

#include "answerdecoding.h"

#include <restresponse.h>

#include <QJsonObject>
#include <QUuid>

#include <curl/curl.h>

namespace velmor {

namespace {

tr::Tr verdictText(Reachability::Verdict verdict)
{
    switch (verdict) {
    case Reachability::Verdict::Reachable:
        return tr::Tr(QStringLiteral("velmorConnectionOk"),
                      QStringLiteral("Связь с сервером Velmor есть, логин и пароль приняты"));
    case Reachability::Verdict::Unreachable:
        return tr::Tr(QStringLiteral("velmorConnectionUnreachable"),
                      QStringLiteral("Сервер Velmor недоступен: %1"));
    case Reachability::Verdict::TlsFailed:
        return tr::Tr(QStringLiteral("velmorConnectionTls"),
                      QStringLiteral("Защищенное соединение с сервером Velmor не установлено: %1"));
    case Reachability::Verdict::TimedOut:
        return tr::Tr(QStringLiteral("velmorConnectionTimedOut"),
                      QStringLiteral("Сервер Velmor не ответил вовремя: %1"));
    case Reachability::Verdict::CredentialsRefused:
        return tr::Tr(QStringLiteral("velmorConnectionCredentialsRefused"),
                      QStringLiteral("Сервер Velmor не принял логин и пароль (HTTP %1)"));
    case Reachability::Verdict::Meaningless:
        return tr::Tr(QStringLiteral("velmorConnectionMeaningless"),
                      QStringLiteral("Ответ на адресе сервера Velmor не похож на ответ сервиса "
                                     "(HTTP %1): проверьте адрес"));
    }
    return tr::Tr();
}

Reachability::Verdict transportVerdict(int networkError)
{
    switch (networkError) {
    case CURLE_OPERATION_TIMEDOUT:
        return Reachability::Verdict::TimedOut;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CLIENTCERT:
        return Reachability::Verdict::TlsFailed;
    default:
        return Reachability::Verdict::Unreachable;
    }
}

} // namespace

QString probeOrderId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

Reachability judgeReachability(const RestResponse &response)
{
    Reachability reach;
    if (response.networkError > 0) {
        reach.verdict = transportVerdict(response.networkError);
        reach.message = verdictText(reach.verdict).arg(response.errorMessage);
        return reach;
    }
    const QString code = response.json.value(QStringLiteral("error"))
                             .toObject()
                             .value(QStringLiteral("code"))
                             .toString();
    if (isServiceRefusal(response) && code == QLatin1String("order_not_found"))
        reach.verdict = Reachability::Verdict::Reachable;
    else if (response.httpCode == 401 || response.httpCode == 403)
        reach.verdict = Reachability::Verdict::CredentialsRefused;
    else
        reach.verdict = Reachability::Verdict::Meaningless;
    reach.message = verdictText(reach.verdict);
    if (reach.verdict != Reachability::Verdict::Reachable)
        reach.message = reach.message.arg(tr::Tr(QString::number(response.httpCode)));
    return reach;
}

} // namespace velmor
