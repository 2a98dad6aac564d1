#include "guioptions.h"
#include "guitext.h"
#include "mainwindow.h"
#include "screenshotwalk.h"

#include <till/hostenvironment.h>
#include <till/receiptreader.h>
#include <till/standardstreams.h>
#include <till/till.h>

#include <QApplication>

#include <csignal>

namespace {

int unusable(const QString &error)
{
    StandardStreams::printError(QStringLiteral("till-gui: ") + error);
    return till::Unusable;
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
    StandardStreams::guard();
    std::signal(SIGPIPE, SIG_IGN);
    // Help and unusable options need no display: without Qt's own (single-dash) options, the
    // command line is read before the application object, which needs a platform.
    QStringList raw;
    bool qtOptions = false;
    for (int i = 1; i < argc; ++i) {
        raw.append(QString::fromLocal8Bit(argv[i]));
        qtOptions = qtOptions || (raw.last().startsWith(QLatin1Char('-')) &&
                                  !raw.last().startsWith(QLatin1String("--")) &&
                                  raw.last() != QLatin1String("-h"));
    }
    if (!qtOptions) {
        GuiOptions early;
        if (!early.parse(raw))
            return unusable(early.errorString());
        if (early.helpRequested()) {
            StandardStreams::printOut(GuiOptions::helpText());
            return till::Done;
        }
    }
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
        StandardStreams::printOut(GuiOptions::helpText());
        return till::Done;
    }
    guitext::setLanguage(options.language());
    QString qtTextsError;
    // Not a reason to refuse the till: only Qt's own few words stay in English.
    if (!guitext::loadQtTexts(options.language(), &qtTextsError))
        StandardStreams::printError(QStringLiteral("till-gui: ") + qtTextsError);
    QString catalogueError;
    if (!guitext::loadCatalogue(options.language(), options.pluginFile(), &catalogueError))
        return unusable(catalogueError);
    if (!options.screenshotDirectory().isEmpty()) {
        ScreenshotWalk walk(options.pluginFile(), options.screenshotDirectory());
        const int status = walk.run();
        for (const QString &file : walk.written())
            StandardStreams::printOut(file);
        if (status != 0)
            StandardStreams::printError(QStringLiteral("till-gui: ") + walk.errorString());
        return status;
    }
    return runScreen(options);
}
