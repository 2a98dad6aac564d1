#include "clientsettings.h"

#include "requestaddress.h"

#include <config.h>
#include <log4qt/logger.h>

namespace velmor {

namespace {

constexpr int DefaultTimeout = 60;
constexpr int DefaultInfoRequestInterval = 10;

} // namespace

ClientSettings readClientSettings(const Config &config, Log4Qt::Logger *logger)
{
    ClientSettings settings;
    settings.credentials = basicCredentials(config.getString(QStringLiteral("Velmor:login")),
                                            config.getString(QStringLiteral("Velmor:password")));

    settings.url =
        QUrl(config.getString(QStringLiteral("Velmor:url"), QStringLiteral("http://localhost")),
             QUrl::TolerantMode);
    // Credentials written into the URL itself are kept out of the log, the login included, as
    // the REST client does for every exchange it logs.
    logger->debug(QStringLiteral("Установка адреса сервера: %1")
                      .arg(settings.url.toString(QUrl::RemoveUserInfo)));

    // An exchange without a time limit would hang the till; the default stands in for one.
    const int configuredTimeout = config.getInt(QStringLiteral("Velmor:timeout"), DefaultTimeout);
    settings.timeout = configuredTimeout > 0 ? configuredTimeout : DefaultTimeout;
    if (settings.timeout != configuredTimeout)
        logger->warn(QStringLiteral("Недопустимый таймаут %1 с., используется %2 с.")
                         .arg(configuredTimeout)
                         .arg(settings.timeout));
    logger->debug(
        QStringLiteral("Установка таймаута обращения к серверу: %1 с.").arg(settings.timeout));

    // The interval is read under this spelling of the section, and installed files use it. Polls
    // back to back would flood the service, so one second is the shortest interval.
    const int configuredInterval =
        config.getInt(QStringLiteral("Velmro:infoRequestInterval"), DefaultInfoRequestInterval);
    settings.infoRequestInterval = configuredInterval >= 1 ? configuredInterval : 1;
    if (settings.infoRequestInterval != configuredInterval)
        logger->warn(
            QStringLiteral("Недопустимый интервал запроса статуса %1 с., используется %2 с.")
                .arg(configuredInterval)
                .arg(settings.infoRequestInterval));
    logger->debug(QStringLiteral("Установка интервала запроса статуса заказа: %1 с.")
                      .arg(settings.infoRequestInterval));

    settings.certificatePath = config.getString(QStringLiteral("Velmor:certificatePath"));
    settings.certificatePassword = config.getString(QStringLiteral("Velmor:certificatePassword"));
    return settings;
}

} // namespace velmor
