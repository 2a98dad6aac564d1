#pragma once

#include "checkresult.h"

#include <QScopedPointer>
#include <QString>
#include <QUrl>
#include <QVector>

#include <functional>

class Config;

// `till check`: looks at everything a sale will need, in the order a sale needs it (the
// configuration, the client certificate and the extra CA file, the service's address,
// connection and TLS, the credentials, the queue, the plug-in), and says what is wrong
// before a buyer is waiting. It changes nothing: the one request it sends asks for the
// status of an order that does not exist, and the queue is opened read-only.
class SetupCheck
{
public:
    struct Settings
    {
        QString configFile; // empty: none, the plug-in sees the defaults
        QString queueFile;
        QString pluginFile;
    };

    using Sink = std::function<void(const CheckResult &)>;

    // Certificates that end sooner than this are worth a warning.
    static constexpr int ExpiryWarningDays = 30;
    // Queue messages older than this should have been replayed long ago.
    static constexpr int QueueAgeWarningHours = 24;

    explicit SetupCheck(const Settings &settings);
    ~SetupCheck();

    SetupCheck(const SetupCheck &) = delete;
    SetupCheck &operator=(const SetupCheck &) = delete;

    // Runs every check in order and hands each result to `sink` as soon as it is known.
    QVector<CheckResult> run(const Sink &sink = Sink());

    static bool anyFailed(const QVector<CheckResult> &results);

private:
    void add(const QString &check, CheckResult::Outcome outcome, const QString &detail,
             const QString &hint = QString());
    void skip(const QString &check, const QString &why);

    void checkConfigFile();
    void checkUrl();
    void checkSecrets();
    void checkTimeout();
    void checkInterval();
    void checkCertificatePath();
    void checkUnreadKeys();
    void checkClientCertificate();
    void checkCaFile();
    void checkService();
    void checkCredentials();
    void checkQueue();
    void checkPlugin();

    Settings m_settings;
    QScopedPointer<Config> m_config;
    Sink m_sink;
    QVector<CheckResult> m_results;

    bool m_configReadable = false;
    QUrl m_url;
    bool m_urlUsable = false;
    int m_timeoutSeconds = 60;
    bool m_serviceReachable = false;
};
