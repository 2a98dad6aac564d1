#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// `till-gui --screenshot DIR`: walks an approved and a rejected sale through the window
// against a Velmor service started in-process, as the till's demo does, and writes what the
// cashier sees as PNG pictures, per language: main-LANG.png, scan-LANG.png,
// progress-LANG.png, approved-LANG.png and rejected-LANG.png.
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
    bool shoot(QWidget *widget, const QString &name);
    // Runs the event loop until `condition` holds; false after `timeoutMs`.
    static bool waitFor(const std::function<bool()> &condition, int timeoutMs);
    int fail(int status, const QString &error);

    QString m_pluginFile;
    QString m_directory;
    QString m_error;
    QStringList m_written;
};
