#include "setupcheck.h"

#include "certificatecheck.h"
#include "checkkeys.h"
#include "checktexts.h"
#include "configcheck.h"
#include "journalcheck.h"
#include "plugincheck.h"
#include "proxycheck.h"
#include "queuecheck.h"
#include "servicecheck.h"
#include <config.h>
#include <singleton.h>

namespace till {

namespace {

using CheckTexts::text;

} // namespace

SetupCheck::SetupCheck(const Settings &settings)
    : m_settings(settings), m_config(std::make_unique<Config>())
{}

SetupCheck::~SetupCheck() = default;

QVector<CheckResult> SetupCheck::run(const Sink &sink)
{
    CheckReport report(sink);
    // The transport reads the host's extra CA file through the configuration singleton, so
    // ours stands there while the checks run.
    struct ConfigInPlace
    {
        explicit ConfigInPlace(Config *config) : previous(Singleton<Config>::instance)
        {
            Singleton<Config>::instance = config;
        }
        ~ConfigInPlace() { Singleton<Config>::instance = previous; }
        Config *const previous;
    } inPlace(m_config.get());

    ConfigCheck configuration(m_settings.configFile, m_settings.configGiven, *m_config, report);
    configuration.checkFile();
    if (configuration.isReadable()) {
        configuration.checkKeys();
        CertificateCheck certificates(*m_config, configuration.editFile(), report);
        certificates.checkClientCertificate();
        certificates.checkCaFile();
    } else {
        for (const QString &check :
             {velmor::clientkeys::Url, velmor::clientkeys::Login, velmor::clientkeys::Password,
              velmor::clientkeys::Timeout, velmor::clientkeys::InfoRequestInterval,
              velmor::clientkeys::CertificatePath, velmor::clientkeys::CertificatePassword,
              text("checkClientCertificate"), text("checkCaFile")})
            report.skip(check, text("skipNoConfig"));
    }

    if (!configuration.isReadable() || !configuration.isUrlUsable()) {
        const QString why = configuration.isReadable() ? text("skipNoUrl") : text("skipNoConfig");
        report.skip(text("checkProxy"), why);
        for (const QString &check : ServiceCheck::checks())
            report.skip(check, why);
    } else {
        ProxyCheck(report).check(configuration.url());
        ServiceCheck service(*m_config, configuration.url(), configuration.timeoutSeconds(),
                             configuration.editFile(), m_settings.messageText, report);
        if (service.checkConnection())
            service.checkCredentials();
        else
            report.skip(text("checkCredentials"), text("skipNoService"));
    }

    QueueCheck queue(report);
    queue.check(m_settings.queueFile);
    m_queueFigures = queue.figures();
    JournalCheck journal(report);
    journal.check(m_settings.journalFile);
    m_journalFigures = journal.figures();
    PluginCheck plugin(report);
    plugin.check(m_settings.pluginFile);
    m_pluginVersion = plugin.version();

    return report.results();
}

bool SetupCheck::anyFailed(const QVector<CheckResult> &results)
{
    for (const CheckResult &result : results) {
        if (result.outcome == CheckResult::Outcome::Fail)
            return true;
    }
    return false;
}

} // namespace till
