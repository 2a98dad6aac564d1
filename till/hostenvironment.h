#pragma once

#include "consoleprogress.h"
#include "logwriter.h"
#include <result.h>

#include <QFile>
#include <QPluginLoader>
#include <QSharedPointer>
#include <QString>

#include <memory>

class AbstractDocument;
class BasicPaymentProcessing;
class Config;
class DBQueueBroker;
class Session;

namespace till {

// What the point-of-sale host gives a payment plug-in: the configuration, the session with
// the current receipt and the progress display, the persistent queue and the log, and the
// plug-in itself, loaded and initialised. The till has one at a time: the host services are
// process-wide singletons.
class HostEnvironment
{
public:
    HostEnvironment();
    ~HostEnvironment();

    HostEnvironment(const HostEnvironment &) = delete;
    HostEnvironment &operator=(const HostEnvironment &) = delete;

    // Each step fails saying why; the caller reports it as unusable input, since nothing has
    // reached the service yet.

    // Log lines go to `fileName` (appended) or, when empty, to standard error above the
    // progress display.
    Result<> setUpLogging(const QString &fileName);
    // Creates Config (with `configFile` loaded when not empty, and then the only file loaded:
    // see TillConfig) and publishes it; what a command needs that talks to the service without
    // the plug-in.
    Result<> setUpConfig(const QString &configFile);
    // setUpConfig() with the installed file the plug-in reads, for a command that talks to
    // the service without the plug-in: refused as the plug-in refuses it, defaults when absent.
    Result<> setUpInstalledConfig();
    // setUpConfig(), then Session and the queue: `queueFile`, or when empty the one
    // queuePath() finds. With `listOnly`, an existing queue file is opened read-only, so that
    // it can be listed on a read-only file or directory; a missing one is created as usual.
    Result<> setUpServices(const QString &configFile, const QString &queueFile,
                           bool listOnly = false);
    // Loads the plug-in, finds its processing interface and calls init().
    Result<> loadPlugin(const QString &fileName);
    // setUpLogging(), setUpServices() and loadPlugin() in turn, up to the first that fails: a
    // till that sells with no receipt or argument of its own to check between them.
    Result<> setUp(const QString &logFile, const QString &configFile, const QString &queueFile,
                   const QString &pluginFile);

    void setDocument(const QSharedPointer<AbstractDocument> &document);

    BasicPaymentProcessing *processing() const { return m_processing; }
    const Config *config() const { return m_config.get(); }
    DBQueueBroker *queue() const { return m_queue.get(); }
    ConsoleProgress &progress() { return m_progress; }
    // Whether log lines go to a file of their own rather than to standard error.
    bool hasLogFile() const { return m_logFile.isOpen(); }

    // ../plugins/libvelmor.so next to the running binary, else the installed plug-in.
    static QString defaultPluginPath();
    // The configuration a sale reads without --config: the plug-in's file in the host's
    // pay-systems directory.
    static QString installedConfigPath();
    // The queue a command uses: `given` (--queue) when set, else the host setting
    // Queue:database of `config`, else the installed till's state directory, else (a till run
    // from its build tree) till-queue.sqlite in the working directory.
    static QString queuePath(const QString &given, const Config &config);

private:
    // ../plugins/libvelmor.so next to the running binary, where the build puts the plug-in.
    static QString builtPluginPath();
    // Whether the till runs from its build tree, with the plug-in built beside it.
    static bool runsFromBuildTree();

    ConsoleProgress m_progress;
    QFile m_logFile;
    std::unique_ptr<LogWriter> m_logWriter;
    // The host's services, owned here and published through their singletons.
    std::unique_ptr<Config> m_config;
    std::unique_ptr<Session> m_session;
    std::unique_ptr<DBQueueBroker> m_queue;
    QPluginLoader m_loader;
    BasicPaymentProcessing *m_processing = nullptr;
};

} // namespace till
