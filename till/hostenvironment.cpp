#include "hostenvironment.h"

#include "tillconfig.h"

#include <basicpaymentprocessing.h>
#include <config.h>
#include <dbqueuebroker.h>
#include <log4qt/logger.h>
#include <log4qt/logmanager.h>
#include <session.h>
#include <singleton.h>
#include <velmor/configfile.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

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

Result<> HostEnvironment::setUpLogging(const QString &fileName)
{
    LogWriter::Sink sink;
    if (fileName.isEmpty()) {
        sink = [this](const QString &line) { m_progress.printLine(line); };
    } else {
        // The log names orders and the service's answers: not for everyone's eyes. A new file
        // is made owner- and group-readable; an existing one keeps the mode it was given.
        const int fd = ::open(QFile::encodeName(fileName).constData(),
                              O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0640);
        if (fd < 0)
            return ResultError(QStringLiteral("log file %1: cannot be opened for writing: %2")
                                   .arg(fileName, QString::fromLocal8Bit(std::strerror(errno))));
        m_logFile.setFileName(fileName);
        if (!m_logFile.open(fd, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text,
                            QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            return ResultError(QStringLiteral("log file %1: cannot be opened for writing: %2")
                                   .arg(fileName, m_logFile.errorString()));
        }
        sink = [this](const QString &line) {
            m_logFile.write(line.toUtf8() + '\n');
            m_logFile.flush();
        };
    }
    m_logWriter = std::make_unique<LogWriter>(sink);
    Log4Qt::LogManager::rootLogger()->addAppender(m_logWriter.get());
    return ResultOk;
}

Result<> HostEnvironment::setUpServices(const QString &configFile, const QString &givenQueueFile,
                                        bool listOnly)
{
    if (const Result<> config = setUpConfig(configFile); !config)
        return config;

    m_session = std::make_unique<Session>();
    m_session->setProgressView(&m_progress);
    Singleton<Session>::instance = m_session.get();

    const QString queueFile = queuePath(givenQueueFile, *m_config);
    m_queue = std::make_unique<DBQueueBroker>(queueFile, listOnly && QFileInfo::exists(queueFile)
                                                             ? DBQueueBroker::OpenMode::ReadOnly
                                                             : DBQueueBroker::OpenMode::ReadWrite);
    Singleton<DBQueueBroker>::instance = m_queue.get();
    if (!m_queue->isOpen())
        return ResultError(QStringLiteral("queue %1: cannot be opened: %2")
                               .arg(queueFile, m_queue->errorString()));
    return ResultOk;
}

Result<> HostEnvironment::setUpConfig(const QString &configFile)
{
    m_config = std::make_unique<TillConfig>(configFile);
    if (!configFile.isEmpty()) {
        // Config::loadFile skips what it cannot read without a word, and takes what is no ini
        // file at all; the plug-in would then talk to its default service with no
        // credentials. A file the cashier named (a receipt, a binary, a file in another
        // encoding by mistake) must stop the till instead.
        const velmor::ConfigFile file(configFile);
        if (file.state() == velmor::ConfigFile::State::Missing)
            return ResultError(QStringLiteral("config %1: no such file").arg(configFile));
        if (file.state() == velmor::ConfigFile::State::Unusable)
            return ResultError(QStringLiteral("config %1: %2").arg(configFile, file.problemText()));
        m_config->loadFile(configFile, QString());
    }
    Singleton<Config>::instance = m_config.get();
    return ResultOk;
}

Result<> HostEnvironment::setUpInstalledConfig()
{
    const QString fileName = installedConfigPath();
    const velmor::ConfigFile file(fileName);
    if (file.state() == velmor::ConfigFile::State::Unusable)
        return ResultError(QStringLiteral("config %1: %2").arg(fileName, file.problemText()));
    if (const Result<> config = setUpConfig(QString()); !config)
        return config;
    if (file.state() == velmor::ConfigFile::State::Usable)
        m_config->loadFile(fileName, QString());
    return ResultOk;
}

Result<> HostEnvironment::loadPlugin(const QString &fileName)
{
    const QFileInfo info(fileName);
    if (!info.exists())
        return ResultError(QStringLiteral("plug-in %1: no such file").arg(fileName));
    m_loader.setFileName(info.absoluteFilePath());
    QObject *instance = m_loader.instance();
    if (!instance)
        return ResultError(QStringLiteral("plug-in %1: cannot be loaded: %2")
                               .arg(fileName, m_loader.errorString()));
    m_processing = qobject_cast<BasicPaymentProcessing *>(instance);
    if (!m_processing)
        return ResultError(
            QStringLiteral("plug-in %1: does not offer the payment processing interface")
                .arg(fileName));
    m_processing->init();
    return ResultOk;
}

Result<> HostEnvironment::setUp(const QString &logFile, const QString &configFile,
                                const QString &queueFile, const QString &pluginFile)
{
    if (const Result<> logging = setUpLogging(logFile); !logging)
        return logging;
    if (const Result<> services = setUpServices(configFile, queueFile); !services)
        return services;
    return loadPlugin(pluginFile);
}

void HostEnvironment::setDocument(const QSharedPointer<AbstractDocument> &document)
{
    if (m_session)
        m_session->setDocument(document);
}

QString HostEnvironment::defaultPluginPath()
{
#ifdef VELMOR_INSTALLED_PLUGIN
    // An installed till has no build tree beside it; it takes the installed plug-in.
    if (!runsFromBuildTree())
        return QStringLiteral(VELMOR_INSTALLED_PLUGIN);
#endif
    return builtPluginPath();
}

QString HostEnvironment::installedConfigPath()
{
    return velmor::ConfigFile::pathIn(QStringLiteral(VELMOR_PAYSYSTEMS_DIR));
}

QString HostEnvironment::queuePath(const QString &given, const Config &config)
{
    if (!given.isEmpty())
        return given;
    const QString configured = config.getString(DBQueueBroker::pathSetting()).trimmed();
    if (!configured.isEmpty())
        return configured;
#ifdef VELMOR_INSTALLED_QUEUE
    // One queue per till, wherever the till is started from: a cancellation queued by a till
    // started in one directory is replayed by a till started in another.
    if (!runsFromBuildTree())
        return QStringLiteral(VELMOR_INSTALLED_QUEUE);
#endif
    return QStringLiteral("till-queue.sqlite");
}

QString HostEnvironment::builtPluginPath()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() +
                           QStringLiteral("/../plugins/libvelmor.so"));
}

bool HostEnvironment::runsFromBuildTree()
{
    return QFileInfo::exists(builtPluginPath());
}

} // namespace till
