#include "guioptions.h"
#include "guitext.h"
#include "mainwindow.h"
#include "screenshotwalk.h"

#include <hostenvironment.h>
#include <receiptreader.h>
#include <till.h>

#include <QApplication>

#include <csignal>

namespace {

int unusable(const QString &error)
{
    Till::printError(QStringLiteral("till-gui: ") + error);
    return Till::Unusable;
}

int runScreen(const GuiOptions &options)
{
    QSharedPointer<Document> receipt;
    if (options.isSet(QStringLiteral("receipt"))) {
        ReceiptReader reader;
        if (!reader.read(options.value(QStringLiteral("receipt"))))
            return unusable(reader.errorString());
        receipt = reader.document();
    }
    HostEnvironment host;
    if (!host.setUpLogging(options.value(QStringLiteral("log"))) ||
        !host.setUpServices(options.value(QStringLiteral("config")), options.queueFile()) ||
        !host.loadPlugin(options.pluginFile()))
        return unusable(host.errorString());
    host.setDocument(receipt);
    MainWindow window(host, receipt);
    window.show();
    return QApplication::exec();
}

} // namespace

int main(int argc, char **argv)
{
    Till::guardStandardStreams();
    std::signal(SIGPIPE, SIG_IGN);
    // The pictures are drawn without a display unless a platform was chosen.
    if (GuiOptions::asksForScreenshots(argc, argv) &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("till-gui"));
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();

    GuiOptions options;
    if (!options.parse(arguments))
        return unusable(options.errorString());
    if (options.helpRequested()) {
        Till::printOut(GuiOptions::helpText());
        return Till::Done;
    }
    guitext::setLanguage(options.language());
    if (!options.screenshotDirectory().isEmpty()) {
        ScreenshotWalk walk(options.pluginFile(), options.screenshotDirectory());
        const int status = walk.run();
        for (const QString &file : walk.written())
            Till::printOut(file);
        if (status != 0)
            Till::printError(QStringLiteral("till-gui: ") + walk.errorString());
        return status;
    }
    return runScreen(options);
}
