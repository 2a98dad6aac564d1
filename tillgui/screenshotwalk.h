#pragma once

#include <result.h>

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

    // The walk as `till-gui --screenshot DIR` runs it: prints each picture written and, when
    // the walk stopped, why. The exit status: 0 when every picture was written, 1 when a step
    // did not come, 2 when the walk could not be set up.
    int run();

private:
    // One language's walk with a window of its own.
    Result<> walk(till::HostEnvironment &host, sandbox::Sandbox &sandbox,
                  const QSharedPointer<Document> &receipt, const QString &lang);
    // The cancellation and the queue, at a window of their own: the first one's receipt is
    // paid by then.
    Result<> cancellationWalk(till::HostEnvironment &host, sandbox::Sandbox &sandbox,
                              const QSharedPointer<Document> &receipt, const QString &lang);
    // Waits for the dialog's answer page; fails when it does not come.
    Result<> answered(SaleDialog *dialog);
    // `window` as the screen shows it, with `dialog` (if any) over it.
    Result<> shoot(QWidget *window, QWidget *dialog, const QString &name);
    // Runs the event loop until `condition` holds; false after `timeoutMs`.
    static bool waitFor(const std::function<bool()> &condition, int timeoutMs);
    // Prints the pictures written and, for a walk that stopped, `why`; gives `status`.
    int finish(int status, const QString &why);

    QString m_pluginFile;
    QString m_directory;
    QStringList m_written;
};

} // namespace tillgui
