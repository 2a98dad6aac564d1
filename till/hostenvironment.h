#pragma once

#include "consoleprogress.h"
#include "logwriter.h"

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

    // Each step returns false with errorString() set; the caller reports it as unusable
    // input, since nothing has reached the service yet.

    // Log lines go to `fileName` (appended) or, when empty, to standard error above the
    // progress display.
    bool setUpLogging(const QString &fileName);
    // Creates Config (with `configFile` loaded when not empty, and then the only file loaded:
    // see TillConfig) and publishes it; what a command needs that talks to the service without
    // the plug-in.
    bool setUpConfig(const QString &configFile);
    // setUpConfig(), then Session and the queue. With
    // `listOnly`, an existing queue file is opened read-only, so that it can be listed on a
    // read-only file or directory; a missing one is created as usual.
    bool setUpServices(const QString &configFile, const QString &queueFile, bool listOnly = false);
    // Loads the plug-in, finds its processing interface and calls init().
    bool loadPlugin(const QString &fileName);

    void setDocument(const QSharedPointer<AbstractDocument> &document);

    BasicPaymentProcessing *processing() const { return m_processing; }
    const Config *config() const { return m_config.get(); }
    DBQueueBroker *queue() const { return m_queue.get(); }
    ConsoleProgress &progress() { return m_progress; }
    QString errorString() const { return m_error; }
    // Whether log lines go to a file of their own rather than to standard error.
    bool hasLogFile() const { return m_logFile.isOpen(); }

    // ../plugins/libvelmor.so next to the running binary, else the installed plug-in.
    static QString defaultPluginPath();

private:
    // Whether an ini text has at least one "[Section]" line, as every file of the plug-in has.
    static bool hasSection(const QString &text);
    bool fail(const QString &error);

    ConsoleProgress m_progress;
    QFile m_logFile;
    std::unique_ptr<LogWriter> m_logWriter;
    // The host's services, owned here and published through their singletons.
    std::unique_ptr<Config> m_config;
    std::unique_ptr<Session> m_session;
    std::unique_ptr<DBQueueBroker> m_queue;
    QPluginLoader m_loader;
    BasicPaymentProcessing *m_processing = nullptr;
    QString m_error;
};

} // namespace till
