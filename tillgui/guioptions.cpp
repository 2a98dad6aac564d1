#include "guioptions.h"

#include "guitext.h"

#include <till/hostenvironment.h>

#include <cstring>

namespace tillgui {

namespace {

const QString LanguageOption = QStringLiteral("lang");
const QString ScreenshotOption = QStringLiteral("screenshot");

bool isGlobalOption(const QString &name)
{
    for (const till::CommandLine::Option &option : till::CommandLine::globalOptions()) {
        if (option.name == name)
            return true;
    }
    return false;
}

} // namespace

Result<> GuiOptions::parse(const QStringList &arguments)
{
    m_language = QStringLiteral("ru");
    m_screenshotDirectory.clear();

    // The screen's own options are taken out first; the rest goes to the till's parser as
    // the global options of a command that takes no others.
    QStringList rest{QStringLiteral("queue")};
    bool languageSeen = false;
    bool screenshotSeen = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (!argument.startsWith(QLatin1String("--")) || argument.size() <= 2) {
            rest.append(argument);
            continue;
        }
        const int equals = argument.indexOf(QLatin1Char('='));
        const QString name = argument.mid(2, equals > 0 ? equals - 2 : -1);
        if (name == QLatin1String("help")) {
            rest.append(argument);
            continue;
        }
        if (name != LanguageOption && name != ScreenshotOption) {
            if (!isGlobalOption(name))
                return ResultError(
                    QStringLiteral("unknown option --%1 (see 'till-gui --help')").arg(name));
            rest.append(argument);
            continue;
        }
        QString value;
        if (equals > 0)
            value = argument.mid(equals + 1);
        else if (i + 1 < arguments.size())
            value = arguments.at(++i);
        else
            return ResultError(QStringLiteral("--%1 needs a value").arg(name));
        bool &seen = name == LanguageOption ? languageSeen : screenshotSeen;
        if (seen)
            return ResultError(QStringLiteral("--%1 is given twice").arg(name));
        seen = true;
        if (name == LanguageOption) {
            if (!guitext::isLanguage(value))
                return ResultError(QStringLiteral("--lang '%1' is not one of ru, en").arg(value));
            m_language = value;
        } else {
            if (value.isEmpty())
                return ResultError(QStringLiteral("--screenshot must name a directory"));
            m_screenshotDirectory = value;
        }
    }

    if (const Result<> parsed = m_commandLine.parse(rest); !parsed)
        return parsed;
    for (const till::CommandLine::Option &option : till::CommandLine::globalOptions()) {
        if (isSet(option.name) && value(option.name).isEmpty())
            return ResultError(QStringLiteral("--%1 must name a file").arg(option.name));
    }
    return ResultOk;
}

QString GuiOptions::helpText()
{
    QString text = QStringLiteral(
        "Usage: till-gui [options]\n\n"
        "The cashier's screen: the current receipt, a sale with the plug-in's scan dialog and\n"
        "progress display, refunds, cancellations and the queue, over the same host services\n"
        "as the command-line till.\n\nOptions:\n");
    for (const till::CommandLine::Option &option : till::CommandLine::globalOptions())
        text += QStringLiteral("  --%1 %2  %3\n")
                    .arg(option.name, -8)
                    .arg(option.valueName, -6)
                    .arg(option.help);
    text += QStringLiteral(
        "  --lang     LANG    the screen's language: ru (default) or en\n"
        "  --screenshot DIR   (till-gui-screenshots of the build tree only) walk a sale\n"
        "                     against a local service and write the screen's pictures to\n"
        "                     DIR (scan-ru.png, progress-ru.png, ...); runs on Qt's\n"
        "                     offscreen platform unless one is chosen\n"
        "  --help             show this help\n"
        "  --version          print till-gui's version and exit\n");
    return text;
}

QString GuiOptions::pluginFile() const
{
    return isSet(QStringLiteral("plugin")) ? value(QStringLiteral("plugin"))
                                           : till::HostEnvironment::defaultPluginPath();
}

QString GuiOptions::queueFile() const
{
    // Empty: the command-line till's default (HostEnvironment::queuePath), so that both tills
    // share one queue.
    return value(QStringLiteral("queue"));
}

bool GuiOptions::asksForScreenshots(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--screenshot") == 0 ||
            std::strncmp(argv[i], "--screenshot=", 13) == 0)
            return true;
    }
    return false;
}

} // namespace tillgui
