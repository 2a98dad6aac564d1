#pragma once

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

    CertificateCheck(const Config &config, CheckReport &report);

    void checkClientCertificate();
    void checkCaFile();

private:
    const Config &m_config;
    CheckReport &m_report;
};

} // namespace till
