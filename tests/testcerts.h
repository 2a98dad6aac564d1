#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Certificates for TLS tests, made with the openssl command line in a temporary directory
// that lives as long as the object. Every call returns false on failure and leaves the
// command's output in errorString().
class TestCerts
{
public:
    TestCerts();

    bool isValid() const { return m_dir.isValid(); }
    QString errorString() const { return m_error; }

    // A self-signed authority: <name>.crt and <name>.key.
    bool createCa(const QString &name);
    // A server certificate for the given DNS names and IP addresses, signed by the authority.
    // An expired one was valid for one day in the past; any other is valid for `days` days.
    bool createServer(const QString &name, const QString &caName, const QStringList &hosts,
                      bool expired = false, int days = 2);
    // A client certificate signed by the authority, valid for `days` days, also packed as
    // <name>.p12 under the password.
    bool createClient(const QString &name, const QString &caName, const QString &password,
                      int days = 2);

    QString certPath(const QString &name) const { return path(name + QStringLiteral(".crt")); }
    QString keyPath(const QString &name) const { return path(name + QStringLiteral(".key")); }
    QString p12Path(const QString &name) const { return path(name + QStringLiteral(".p12")); }
    QString path(const QString &fileName) const { return m_dir.filePath(fileName); }

private:
    bool openssl(const QStringList &arguments);
    bool writeFile(const QString &fileName, const QByteArray &content);
    bool createKeyAndRequest(const QString &name, const QString &commonName);

    QTemporaryDir m_dir;
    QString m_error;
    int m_serial = 1;
};
