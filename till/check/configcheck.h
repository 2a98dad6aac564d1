#pragma once

#include <QString>
#include <QUrl>

class Config;

namespace till {

class CheckReport;

// The configuration part of `till check`: the file (readable, UTF-8, an ini file), every key
// the plug-in
// reads with the value it will see, and the keys under its sections that nothing reads.
// Secrets are only ever shown as set or empty.
class ConfigCheck
{
public:
    // Loads `fileName` into `config`, which the later checks read. `given`: named by --config,
    // so that its absence is a fault; otherwise it is the installed file, and without it the
    // plug-in runs on its defaults.
    ConfigCheck(const QString &fileName, bool given, Config &config, CheckReport &report);

    void checkFile();
    // Only once checkFile() has found the file readable.
    void checkKeys();

    // Whether the plug-in could read a configuration (none installed counts: it has defaults).
    bool isReadable() const { return m_readable; }
    // The service's URL as the plug-in will use it, once checkKeys() has found it usable.
    bool isUrlUsable() const { return m_urlUsable; }
    const QUrl &url() const { return m_url; }
    // The exchange timeout the transport will apply.
    int timeoutSeconds() const { return m_timeoutSeconds; }
    // The file an administrator edits to mend what the checks find: the configuration, or
    // where it leads when it is a link (the installed one, in the host's pay-systems directory).
    const QString &editFile() const { return m_editFile; }

private:
    // The hint under `hint`, naming the file to edit.
    QString editHint(const char *hint) const;
    // Whether every user may read the file while it holds a password for a service elsewhere.
    bool isWorldReadableSecret() const;
    void checkUrl();
    void checkSecrets();
    void checkTimeout();
    void checkInterval();
    void checkCertificatePath();
    void checkUnreadKeys();
    // `raw` as a whole number into `value`; false, with a warning that `defaultValue` applies
    // instead, when it is not one.
    bool readWholeNumber(const QString &key, const QString &raw, int defaultValue, const char *hint,
                         int *value);

    QString m_fileName;
    QString m_editFile;
    bool m_given;
    Config &m_config;
    CheckReport &m_report;
    bool m_readable = false;
    QUrl m_url;
    bool m_urlUsable = false;
    int m_timeoutSeconds;
};

} // namespace till
