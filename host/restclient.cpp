#include "restclient.h"

// Placeholder until the libcurl transport lands: every exchange fails at transport level.
class RestClient::Private
{
public:
    RestResponse response;
};

RestClient::RestClient(QObject *parent) : QObject(parent), d(new Private) {}
RestClient::~RestClient() = default;
void RestClient::setLogger(const Log4Qt::Logger *) {}
void RestClient::setTimeout(int) {}
void RestClient::setCertificatePath(const QString &) {}
void RestClient::setCertificatePassword(const QString &) {}
void RestClient::get(const QUrl &, const QHash<QString, QString> &) { d->response.networkError = 1; }
void RestClient::post(const QUrl &, const QByteArray &, const QHash<QString, QString> &)
{
    d->response.networkError = 1;
}
RestResponse RestClient::getResponse() const { return d->response; }
bool RestClient::isTimedOut() const { return false; }
