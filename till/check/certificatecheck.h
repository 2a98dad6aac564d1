#pragma once

#include <QString>

class Config;

namespace till {

class CheckReport;

// The certificates part of `till check`: the client certificate (a PKCS#12 file, opened with
// its password; its subject and validity) and the host's extra CA file (PEM certificates).
// Neither the password nor a key ever reaches the report.
class CertificateCheck
{
public:
    // Certificates that end sooner than this are worth a warning.
    static constexpr int ExpiryWarningDays = 30;

    // `editFile` is the configuration file the hints send the administrator to.
    CertificateCheck(const Config &config, const QString &editFile, CheckReport &report);

    void checkClientCertificate();
    void checkCaFile();

private:
    // The hint under `key`, which is mended in the configuration, naming the file to edit.
    QString editHint(const char *key) const;

    const Config &m_config;
    QString m_editFile;
    CheckReport &m_report;
};

} // namespace till
