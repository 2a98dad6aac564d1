#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <sandbox/sandbox.h>

#include "pipedchild.h"

#include <mutex>

// Sandbox services in a child process of their own, so that what they cost in CPU and memory
// is not counted as the plug-in's. The child is forked before this process has any thread and
// then obeys one command at a time over a pipe: start a service, move an order along, forget
// the recorded requests. It serves until this object closes its end, this process exits or
// dies.
class ServiceProcess
{
public:
    // Forks the child; call before any thread exists. False when it could not be started.
    bool start();
    bool isRunning() const { return m_child.isRunning(); }

    // Starts a sandbox in the child with these options (host and port are the child's
    // choice); its port, or 0 when it did not start.
    int startService(const sandbox::Sandbox::Options &options);
    // "http://127.0.0.1:PORT/base" of a service started here, https with TLS; empty if unknown.
    QString baseUrl(int port) const;

    // Sandbox::setOrderStatus and Sandbox::clearRequests in the child; they have taken effect
    // when these return true.
    bool setOrderStatus(int port, const QString &id, const QString &status);
    bool clearRequests(int port);

private:
    // One command line out, one answer line back; empty when the child is gone.
    QByteArray exchange(const QList<QByteArray> &fields);

    PipedChild m_child;
    // Guards m_baseUrls.
    mutable std::mutex m_mutex;
    QMap<int, QString> m_baseUrls;
};
