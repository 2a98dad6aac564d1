#pragma once

#include <QSharedPointer>
#include <QString>
#include <QStringList>

#include <functional>

class Document;
class QWidget;
namespace sandbox {
class Sandbox;
}

namespace till {
class HostEnvironment;
}

namespace tillgui {

class SaleDialog;

// `till-gui --screenshot DIR`: walks the cashier's day through the window against a Velmor
// service started in-process, as the till's demo does, and writes what the cashier sees at
// 1024 x 768 as PNG pictures, per language: the receipt (main-LANG.png), an approved sale
// (scan-, progress-, approved-LANG.png), a rejected one (rejected-), a refund of one position
// (refund-, its confirmation confirm-, refunded-), a cancellation while the service does not answer
// (cancel-, queued-) and the queue that holds it (queue-LANG.png).
class ScreenshotWalk
{
public:
    ScreenshotWalk(const QString &pluginFile, const QString &directory);

    // 0 when every picture was written, 1 when a step did not come, 2 when the walk could not
    // be set up; errorString() says why.
    int run();
    QString errorString() const { return m_error; }
    QStringList written() const { return m_written; }

private:
    // One language's walk with a window of its own.
    int walk(till::HostEnvironment &host, sandbox::Sandbox &sandbox,
             const QSharedPointer<Document> &receipt, const QString &lang);
    // The cancellation and the queue, at a window of their own: the first one's receipt is
    // paid by then.
    int cancellationWalk(till::HostEnvironment &host, sandbox::Sandbox &sandbox,
                         const QSharedPointer<Document> &receipt, const QString &lang);
    // Waits for the dialog's answer page; false, with the error set, when it does not come.
    bool answered(SaleDialog *dialog);
    // `window` as the screen shows it, with `dialog` (if any) over it.
    bool shoot(QWidget *window, QWidget *dialog, const QString &name);
    // Runs the event loop until `condition` holds; false after `timeoutMs`.
    static bool waitFor(const std::function<bool()> &condition, int timeoutMs);
    int fail(int status, const QString &error);

    QString m_pluginFile;
    QString m_directory;
    QString m_error;
    QStringList m_written;
};

} // namespace tillgui
