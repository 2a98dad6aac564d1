#include "testcerts.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

TestCerts::TestCerts() : m_dir(QDir::tempPath() + QStringLiteral("/testcerts-XXXXXX")) {}

bool TestCerts::openssl(const QStringList &arguments)
{
    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForStarted(10000)) {
        m_error = QStringLiteral("openssl did not start: ") + process.errorString();
        return false;
    }
    process.closeWriteChannel();
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        m_error = QStringLiteral("openssl did not finish: ") + arguments.join(' ');
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        m_error = QStringLiteral("openssl ") + arguments.join(' ') + QStringLiteral(": ") +
                  QString::fromLocal8Bit(process.readAll());
        return false;
    }
    return true;
}

bool TestCerts::writeFile(const QString &fileName, const QByteArray &content)
{
    QFile file(path(fileName));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(content) != content.size()) {
        m_error = QStringLiteral("cannot write ") + file.fileName();
        return false;
    }
    return true;
}

bool TestCerts::createKeyAndRequest(const QString &name, const QString &commonName)
{
    // Elliptic-curve keys take milliseconds to make, which keeps the suites quick.
    return openssl({"req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                    "-nodes", "-keyout", keyPath(name), "-out", path(name + ".csr"), "-subj",
                    "/CN=" + commonName});
}

bool TestCerts::createCa(const QString &name)
{
    if (!isValid()) {
        m_error = QStringLiteral("no temporary directory");
        return false;
    }
    return openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                    "-nodes", "-keyout", keyPath(name), "-out", certPath(name), "-days", "2",
                    "-subj", "/CN=" + name + " Test CA", "-addext",
                    "basicConstraints=critical,CA:TRUE", "-addext",
                    "keyUsage=critical,keyCertSign,cRLSign"});
}

bool TestCerts::createServer(const QString &name, const QString &caName, const QStringList &hosts,
                             bool expired, int days)
{
    QStringList altNames;
    for (const QString &host : hosts) {
        // Only what looks like an IPv4 or IPv6 address goes in as an address.
        static const QRegularExpression address(
            QStringLiteral("^([0-9.]+|[0-9a-fA-F:]*:[0-9a-fA-F:]*)$"));
        altNames << (address.match(host).hasMatch() ? QStringLiteral("IP:")
                                                    : QStringLiteral("DNS:")) +
                        host;
    }
    const QString extFile = name + ".ext";
    if (!writeFile(extFile, "basicConstraints=CA:FALSE\n"
                            "extendedKeyUsage=serverAuth\n"
                            "subjectAltName=" +
                                altNames.join(',').toUtf8() + "\n"))
        return false;
    if (!createKeyAndRequest(name, hosts.value(0, name)))
        return false;

    if (!expired) {
        return openssl({"x509", "-req", "-in", path(name + ".csr"), "-CA", certPath(caName),
                        "-CAkey", keyPath(caName), "-set_serial", QString::number(m_serial++),
                        "-days", QString::number(days), "-extfile", path(extFile), "-out",
                        certPath(name)});
    }

    // "openssl x509" only counts days from now; "openssl ca" takes explicit dates, which is
    // the one way to date a certificate in the past.
    const QString dbDir = name + ".db";
    if (!QDir(m_dir.path()).mkpath(dbDir + "/new") || !writeFile(dbDir + "/index.txt", "") ||
        !writeFile(dbDir + "/serial", QByteArray::number(1000 + m_serial++) + "\n"))
        return false;
    const QByteArray config = "[ca]\ndefault_ca = testca\n"
                              "[testca]\n"
                              "database = " +
                              path(dbDir + "/index.txt").toUtf8() +
                              "\n"
                              "new_certs_dir = " +
                              path(dbDir + "/new").toUtf8() +
                              "\n"
                              "serial = " +
                              path(dbDir + "/serial").toUtf8() +
                              "\n"
                              "default_md = sha256\n"
                              "policy = anything\n"
                              "unique_subject = no\n"
                              "[anything]\ncommonName = supplied\n";
    if (!writeFile(name + ".cnf", config))
        return false;
    return openssl({"ca", "-batch", "-notext", "-config", path(name + ".cnf"), "-cert",
                    certPath(caName), "-keyfile", keyPath(caName), "-in", path(name + ".csr"),
                    "-out", certPath(name), "-startdate", "20200101000000Z", "-enddate",
                    "20200102000000Z", "-extfile", path(extFile)});
}

bool TestCerts::createClient(const QString &name, const QString &caName, const QString &password,
                             int days)
{
    const QString extFile = name + ".ext";
    if (!writeFile(extFile, "basicConstraints=CA:FALSE\nextendedKeyUsage=clientAuth\n"))
        return false;
    if (!createKeyAndRequest(name, name))
        return false;
    if (!openssl({"x509", "-req", "-in", path(name + ".csr"), "-CA", certPath(caName), "-CAkey",
                  keyPath(caName), "-set_serial", QString::number(m_serial++), "-days",
                  QString::number(days), "-extfile", path(extFile), "-out", certPath(name)}))
        return false;
    return openssl({"pkcs12", "-export", "-inkey", keyPath(name), "-in", certPath(name), "-out",
                    p12Path(name), "-passout", "pass:" + password});
}
