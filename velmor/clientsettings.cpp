#include "clientsettings.h"

#include "requestaddress.h"
#include "secretmask.h"

#include <config.h>
#include <log4qt/logger.h>

#include <algorithm>

namespace velmor {

QStringList clientkeys::all()
{
    return {Url,
            Login,
            Password,
            Timeout,
            InfoRequestInterval,
            CertificatePath,
            CertificatePassword,
            UnknownOrderTimeout};
}

int usableTimeout(int configured)
{
    return configured > 0 ? configured : DefaultTimeout;
}

int usableInfoRequestInterval(int configured)
{
    return configured >= ShortestInfoRequestInterval ? configured : ShortestInfoRequestInterval;
}

int usableUnknownOrderTimeout(int configured)
{
    return std::max(configured, ShortestUnknownOrderTimeout);
}

ClientSettings readClientSettings(const Config &config, Log4Qt::Logger *logger)
{
    ClientSettings settings;
    const QString login = config.getString(clientkeys::Login);
    const QString password = config.getString(clientkeys::Password);
    settings.credentials = basicCredentials(login, password);
    // Every service text the client decodes is masked with them.
    rememberCredentials(login, password);

    settings.url = QUrl(config.getString(clientkeys::Url, DefaultUrl), QUrl::TolerantMode);
    // Credentials written into the URL itself are kept out of the log, the login included, as
    // the REST client does for every exchange it logs.
    logger->debug(QStringLiteral("Установка адреса сервера: %1")
                      .arg(settings.url.toString(QUrl::RemoveUserInfo)));

    const int configuredTimeout = config.getInt(clientkeys::Timeout, DefaultTimeout);
    settings.timeout = usableTimeout(configuredTimeout);
    if (settings.timeout != configuredTimeout)
        logger->warn(QStringLiteral("Недопустимый таймаут %1 с., используется %2 с.")
                         .arg(configuredTimeout)
                         .arg(settings.timeout));
    logger->debug(
        QStringLiteral("Установка таймаута обращения к серверу: %1 с.").arg(settings.timeout));

    // The interval is read under the section spelt "Velmro", which installed files use.
    const int configuredInterval =
        config.getInt(clientkeys::InfoRequestInterval, DefaultInfoRequestInterval);
    settings.infoRequestInterval = usableInfoRequestInterval(configuredInterval);
    if (settings.infoRequestInterval != configuredInterval)
        logger->warn(
            QStringLiteral("Недопустимый интервал запроса статуса %1 с., используется %2 с.")
                .arg(configuredInterval)
                .arg(settings.infoRequestInterval));
    logger->debug(QStringLiteral("Установка интервала запроса статуса заказа: %1 с.")
                      .arg(settings.infoRequestInterval));

    const int configuredUnknownOrderTimeout =
        config.getInt(clientkeys::UnknownOrderTimeout, DefaultUnknownOrderTimeout);
    settings.unknownOrderTimeout = usableUnknownOrderTimeout(configuredUnknownOrderTimeout);
    if (settings.unknownOrderTimeout != configuredUnknownOrderTimeout)
        logger->warn(QStringLiteral("Недопустимое время ожидания неизвестного заказа %1 с., "
                                    "используется %2 с.")
                         .arg(configuredUnknownOrderTimeout)
                         .arg(settings.unknownOrderTimeout));

    settings.certificatePath = config.getString(clientkeys::CertificatePath);
    settings.certificatePassword = config.getString(clientkeys::CertificatePassword);
    return settings;
}

} // namespace velmor
