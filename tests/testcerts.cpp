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
        m_error = QStringLiteral("openssl did not finish: ") + arguments.join(QLatin1Char(' '));
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        m_error = QStringLiteral("openssl ") + arguments.join(QLatin1Char(' ')) +
                  QStringLiteral(": ") + QString::fromLocal8Bit(process.readAll());
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
    return openssl({QStringLiteral("req"), QStringLiteral("-new"), QStringLiteral("-newkey"),
                    QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                    QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                    QStringLiteral("-keyout"), keyPath(name), QStringLiteral("-out"),
                    path(name + QStringLiteral(".csr")), QStringLiteral("-subj"),
                    QStringLiteral("/CN=") + commonName});
}

bool TestCerts::createCa(const QString &name)
{
    if (!isValid()) {
        m_error = QStringLiteral("no temporary directory");
        return false;
    }
    return openssl(
        {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
         QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
         QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
         QStringLiteral("-keyout"), keyPath(name), QStringLiteral("-out"), certPath(name),
         QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
         QStringLiteral("/CN=") + name + QStringLiteral(" Test CA"), QStringLiteral("-addext"),
         QStringLiteral("basicConstraints=critical,CA:TRUE"), QStringLiteral("-addext"),
         QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")});
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
    const QString extFile = name + QStringLiteral(".ext");
    if (!writeFile(extFile, "basicConstraints=CA:FALSE\n"
                            "extendedKeyUsage=serverAuth\n"
                            "subjectAltName=" +
                                altNames.join(QLatin1Char(',')).toUtf8() + "\n"))
        return false;
    if (!createKeyAndRequest(name, hosts.value(0, name)))
        return false;

    if (!expired) {
        return openssl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                        path(name + QStringLiteral(".csr")), QStringLiteral("-CA"),
                        certPath(caName), QStringLiteral("-CAkey"), keyPath(caName),
                        QStringLiteral("-set_serial"), QString::number(m_serial++),
                        QStringLiteral("-days"), QString::number(days), QStringLiteral("-extfile"),
                        path(extFile), QStringLiteral("-out"), certPath(name)});
    }

    // "openssl x509" only counts days from now; "openssl ca" takes explicit dates, which is
    // the one way to date a certificate in the past.
    const QString dbDir = name + QStringLiteral(".db");
    if (!QDir(m_dir.path()).mkpath(dbDir + QStringLiteral("/new")) ||
        !writeFile(dbDir + QStringLiteral("/index.txt"), "") ||
        !writeFile(dbDir + QStringLiteral("/serial"), QByteArray::number(1000 + m_serial++) + "\n"))
        return false;
    const QByteArray config = "[ca]\ndefault_ca = testca\n"
                              "[testca]\n"
                              "database = " +
                              path(dbDir + QStringLiteral("/index.txt")).toUtf8() +
                              "\n"
                              "new_certs_dir = " +
                              path(dbDir + QStringLiteral("/new")).toUtf8() +
                              "\n"
                              "serial = " +
                              path(dbDir + QStringLiteral("/serial")).toUtf8() +
                              "\n"
                              "default_md = sha256\n"
                              "policy = anything\n"
                              "unique_subject = no\n"
                              "[anything]\ncommonName = supplied\n";
    if (!writeFile(name + QStringLiteral(".cnf"), config))
        return false;
    return openssl({QStringLiteral("ca"), QStringLiteral("-batch"), QStringLiteral("-notext"),
                    QStringLiteral("-config"), path(name + QStringLiteral(".cnf")),
                    QStringLiteral("-cert"), certPath(caName), QStringLiteral("-keyfile"),
                    keyPath(caName), QStringLiteral("-in"), path(name + QStringLiteral(".csr")),
                    QStringLiteral("-out"), certPath(name), QStringLiteral("-startdate"),
                    QStringLiteral("20200101000000Z"), QStringLiteral("-enddate"),
                    QStringLiteral("20200102000000Z"), QStringLiteral("-extfile"), path(extFile)});
}

bool TestCerts::createClient(const QString &name, const QString &caName, const QString &password,
                             int days)
{
    const QString extFile = name + QStringLiteral(".ext");
    if (!writeFile(extFile, "basicConstraints=CA:FALSE\nextendedKeyUsage=clientAuth\n"))
        return false;
    if (!createKeyAndRequest(name, name))
        return false;
    if (!openssl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                  path(name + QStringLiteral(".csr")), QStringLiteral("-CA"), certPath(caName),
                  QStringLiteral("-CAkey"), keyPath(caName), QStringLiteral("-set_serial"),
                  QString::number(m_serial++), QStringLiteral("-days"), QString::number(days),
                  QStringLiteral("-extfile"), path(extFile), QStringLiteral("-out"),
                  certPath(name)}))
        return false;
    return openssl({QStringLiteral("pkcs12"), QStringLiteral("-export"), QStringLiteral("-inkey"),
                    keyPath(name), QStringLiteral("-in"), certPath(name), QStringLiteral("-out"),
                    p12Path(name), QStringLiteral("-passout"), QStringLiteral("pass:") + password});
}
