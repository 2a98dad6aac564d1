#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QScopedPointer>
#include <QSharedPointer>
#include <QString>
#include <QTemporaryDir>
#include <paymentprocessingrequest.h>

#include <algorithm>
#include <chrono>
#include <vector>

class BasicPaymentProcessing;
class ChildLauncher;
class Document;
class QPluginLoader;
namespace sandbox {
class Sandbox;
}
class ServiceProcess;
class TestCerts;

// What every figure shares: the services on loopback (plain and TLS), the host's services with
// a receipt, the loaded plug-in, and the bodies and headers the baselines send.
class BenchContext
{
public:
    // `services`: the child process that serves the figures whose CPU or memory must be the
    // plug-in's alone; its services are started in setUp().
    // `launcher` runs the till and the baselines' programs as child processes.
    BenchContext(bool quick, ServiceProcess *services, ChildLauncher *launcher);
    ~BenchContext();

    // The services and the host; false with a reason when they cannot be set up.
    bool setUp(QString *error);
    // Loads the plug-in and takes the create body from one sale through it.
    bool setUpPlugin(QString *error);

    bool quick() const { return m_quick; }
    // `full` tries, or a tenth of them (at least `least`) in quick mode.
    int tries(int full, int least = 10) const;

    sandbox::Sandbox &plain() const { return *m_plain; }
    sandbox::Sandbox &secure() const { return *m_secure; }
    // plain() and secure() again in the child process, and a plain service that closes each
    // connection after one request, for the waits that poll once a second; ports are 0 when
    // one did not start.
    ServiceProcess &services() const { return *m_services; }
    ChildLauncher &launcher() const { return *m_launcher; }
    int remotePlain() const { return m_remotePlain; }
    int remoteSecure() const { return m_remoteSecure; }
    int remotePolledSlowly() const { return m_remotePolledSlowly; }
    // The base URL of remotePlain(), empty when it did not start.
    QString remoteUrl() const;
    QString caFile() const;
    QString workPath(const QString &fileName) const;
    // An ini file for the till pointing at plain(), with the credentials the service takes.
    QString tillConfigFile() const;

    // Loads the plug-in at first use with the hooked transport and inits it.
    BasicPaymentProcessing *plugin();
    // Points the host's settings at a service and re-inits the plug-in when it is loaded.
    void configure(const QString &url, int intervalSeconds);
    // Where the plug-in keeps its journal: the work directory's journal.sqlite unless set;
    // re-inits the plug-in when it is loaded.
    void setJournalPath(const QString &path);
    QString journalPath() const;

    // A receipt of `positions` positions; the sale figures use three.
    void setReceipt(int positions);
    PaymentProcessingRequest saleRequest(const QString &code) const;

    // The create body as the plug-in sends it for the current receipt, with `id` as the order
    // id and `code` as the scanned code.
    QByteArray createBody(const QString &id, const QString &code) const;
    // The headers the plug-in sends, for the baselines.
    QList<QByteArray> headers(const QString &correlationId) const;
    static QString newId();
    // A refund of the three-position receipt for `orderId`, as the client queues it.
    QJsonObject queuedRefund(const QString &orderId) const;

    // Creates an order at the plain service by a bare exchange and puts it into `status`;
    // false when the service refused it.
    bool makeOrder(const QString &id, const QString &code, const QString &status);

private:
    bool m_quick;
    ServiceProcess *m_services;
    ChildLauncher *m_launcher;
    int m_remotePlain = 0;
    int m_remoteSecure = 0;
    int m_remotePolledSlowly = 0;
    QTemporaryDir m_workDir;
    QString m_journalPath;
    QScopedPointer<TestCerts> m_certs;
    QScopedPointer<sandbox::Sandbox> m_plain;
    QScopedPointer<sandbox::Sandbox> m_secure;
    QScopedPointer<QPluginLoader> m_loader;
    BasicPaymentProcessing *m_plugin = nullptr;
    QSharedPointer<Document> m_document;
    QByteArray m_createTemplate;
    QString m_templateId;
    QString m_tillConfig;
};

// Order statistics over measured durations, in nanoseconds.
template<typename T> double median(std::vector<T> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? double(values[mid]) : (double(values[mid - 1]) + values[mid]) / 2.0;
}

inline qint64 nanosBetween(std::chrono::steady_clock::time_point from,
                           std::chrono::steady_clock::time_point to)
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(to - from).count();
}
