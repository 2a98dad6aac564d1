#pragma once

#include "connectionprobe.h"
#include "hostexport.h"
#include "restresponse.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QScopedPointer>
#include <QString>
#include <QUrl>

namespace Log4Qt {
class Logger;
}

// The host network library's HTTP(S) client. Each call blocks until its exchange is over.
// One client may be used from several threads: exchanges are serialised, and each thread
// reads back the response of its own last exchange.
class HOST_EXPORT RestClient : public QObject
{
    Q_OBJECT

public:
    explicit RestClient(QObject *parent = nullptr);
    ~RestClient() override;

    void setLogger(const Log4Qt::Logger *logger);
    // Bounds a whole exchange, connecting included.
    void setTimeout(int seconds);
    // A PKCS#12 client certificate; empty means none.
    void setCertificatePath(const QString &path);
    void setCertificatePassword(const QString &password);

    virtual void get(const QUrl &url, const QHash<QString, QString> &headers);
    virtual void post(const QUrl &url, const QByteArray &body,
                      const QHash<QString, QString> &headers);
    virtual RestResponse getResponse() const;
    virtual bool isTimedOut() const;

    // Resolves the URL's host, opens a connection and, for https, makes the handshake with the
    // same trust and client certificate as an exchange, then closes it without a request.
    // Bounded by the timeout like an exchange; leaves the exchanges' connection alone.
    ConnectionProbe probeConnection(const QUrl &url) const;

    // Largest body read; a longer answer counts as a transport failure.
    static constexpr qint64 MaxBodySize = 4 * 1024 * 1024;

private:
    class Private;
    QScopedPointer<Private> d;
};
