#pragma once

#include <result.h>
#include <till/commandline.h>

#include <QString>
#include <QStringList>

namespace tillgui {

// till-gui's command line: the command-line till's global options (--config, --receipt,
// --queue, --plugin, --log), read by the till's own parser with the same rules and messages,
// and the options of the screen itself: --lang and --screenshot.
class GuiOptions
{
public:
    // `arguments` without the program name and without Qt's own options.
    Result<> parse(const QStringList &arguments);

    bool helpRequested() const { return m_commandLine.helpRequested(); }
    static QString helpText();

    // A global option's value, empty when not given.
    QString value(const QString &option) const { return m_commandLine.value(option); }
    bool isSet(const QString &option) const { return m_commandLine.isSet(option); }
    QString pluginFile() const;
    QString queueFile() const;
    QString language() const { return m_language; }
    QString screenshotDirectory() const { return m_screenshotDirectory; }

    // Whether the raw arguments ask for --screenshot: it must be known before the
    // application object exists, so that the offscreen platform can be chosen.
    static bool asksForScreenshots(int argc, char **argv);

private:
    till::CommandLine m_commandLine;
    QString m_language = QStringLiteral("ru");
    QString m_screenshotDirectory;
};

} // namespace tillgui
