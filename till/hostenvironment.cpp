#include "hostenvironment.h"

#include "tillconfig.h"

#include <basicpaymentprocessing.h>
#include <config.h>
#include <dbqueuebroker.h>
#include <log4qt/logger.h>
#include <log4qt/logmanager.h>
#include <session.h>
#include <singleton.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace till {

namespace {

// Takes a service out of its singleton, if it is still the one there, and ends it.
template<typename Service> void withdraw(std::unique_ptr<Service> &service)
{
    if (Singleton<Service>::instance == service.get())
        Singleton<Service>::instance = nullptr;
    service.reset();
}

} // namespace

HostEnvironment::HostEnvironment() = default;

HostEnvironment::~HostEnvironment()
{
    // The plug-in stays loaded until the process ends (its objects may be referenced from
    // static data); the services it uses go now, in the reverse order of their creation.
    if (m_session)
        m_session->setProgressView(nullptr);
    m_progress.finish();
    if (m_logWriter)
        Log4Qt::LogManager::rootLogger()->removeAppender(m_logWriter.get());
    withdraw(m_queue);
    withdraw(m_session);
    withdraw(m_config);
}

bool HostEnvironment::setUpLogging(const QString &fileName)
{
    LogWriter::Sink sink;
    if (fileName.isEmpty()) {
        sink = [this](const QString &line) { m_progress.printLine(line); };
    } else {
        m_logFile.setFileName(fileName);
        if (!m_logFile.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
            return fail(QStringLiteral("log file %1: cannot be opened for writing: %2")
                            .arg(fileName, m_logFile.errorString()));
        sink = [this](const QString &line) {
            m_logFile.write(line.toUtf8() + '\n');
            m_logFile.flush();
        };
    }
    m_logWriter = std::make_unique<LogWriter>(sink);
    Log4Qt::LogManager::rootLogger()->addAppender(m_logWriter.get());
    return true;
}

bool HostEnvironment::setUpServices(const QString &configFile, const QString &queueFile,
                                    bool listOnly)
{
    if (!setUpConfig(configFile))
        return false;

    m_session = std::make_unique<Session>();
    m_session->setProgressView(&m_progress);
    Singleton<Session>::instance = m_session.get();

    m_queue = std::make_unique<DBQueueBroker>(queueFile, listOnly && QFileInfo::exists(queueFile)
                                                             ? DBQueueBroker::OpenMode::ReadOnly
                                                             : DBQueueBroker::OpenMode::ReadWrite);
    Singleton<DBQueueBroker>::instance = m_queue.get();
    if (!m_queue->isOpen())
        return fail(QStringLiteral("queue %1: cannot be opened: %2")
                        .arg(queueFile, m_queue->errorString()));
    return true;
}

bool HostEnvironment::setUpConfig(const QString &configFile)
{
    m_config = std::make_unique<TillConfig>(configFile);
    if (!configFile.isEmpty()) {
        // Config::loadFile skips what it cannot read without a word; a file the cashier
        // named must not be skipped like that.
        const QFileInfo info(configFile);
        if (!info.exists())
            return fail(QStringLiteral("config %1: no such file").arg(configFile));
        if (!info.isFile())
            return fail(QStringLiteral("config %1: not a regular file").arg(configFile));
        QFile probe(configFile);
        if (!probe.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("config %1: cannot be read: %2")
                            .arg(configFile, probe.errorString()));
        const QByteArray bytes = probe.readAll();
        probe.close();
        // Config::loadFile also takes what is no ini file at all, and then the plug-in would
        // talk to its default service with no credentials: a wrong file named by mistake (a
        // receipt, a binary, a file in another encoding) must stop the till instead.
        const QString text = QString::fromUtf8(bytes.constData(), bytes.size());
        if (text.toUtf8() != bytes)
            return fail(
                QStringLiteral("config %1: not UTF-8 text, not a usable ini file").arg(configFile));
        if (!hasSection(text))
            return fail(QStringLiteral("config %1: holds no [section], not a usable ini file")
                            .arg(configFile));
        m_config->loadFile(configFile, QString());
    }
    Singleton<Config>::instance = m_config.get();
    return true;
}

bool HostEnvironment::loadPlugin(const QString &fileName)
{
    const QFileInfo info(fileName);
    if (!info.exists())
        return fail(QStringLiteral("plug-in %1: no such file").arg(fileName));
    m_loader.setFileName(info.absoluteFilePath());
    QObject *instance = m_loader.instance();
    if (!instance)
        return fail(QStringLiteral("plug-in %1: cannot be loaded: %2")
                        .arg(fileName, m_loader.errorString()));
    m_processing = qobject_cast<BasicPaymentProcessing *>(instance);
    if (!m_processing)
        return fail(QStringLiteral("plug-in %1: does not offer the payment processing interface")
                        .arg(fileName));
    m_processing->init();
    return true;
}

void HostEnvironment::setDocument(const QSharedPointer<AbstractDocument> &document)
{
    if (m_session)
        m_session->setDocument(document);
}

QString HostEnvironment::defaultPluginPath()
{
    const QString built = QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                          QStringLiteral("/../plugins/libvelmor.so"));
#ifdef VELMOR_INSTALLED_PLUGIN
    // An installed till has no build tree beside it; it takes the installed plug-in.
    if (!QFileInfo::exists(built))
        return QStringLiteral(VELMOR_INSTALLED_PLUGIN);
#endif
    return built;
}

bool HostEnvironment::hasSection(const QString &text)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString &rawLine : lines) {
        const QString line = rawLine.trimmed();
        if (line.size() > 2 && line.startsWith(QLatin1Char('[')) &&
            line.endsWith(QLatin1Char(']')) && !line.mid(1, line.size() - 2).trimmed().isEmpty())
            return true;
    }
    return false;
}

bool HostEnvironment::fail(const QString &error)
{
    m_error = error;
    return false;
}

} // namespace till
