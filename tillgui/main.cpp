#include "guioptions.h"
#include "guitext.h"
#include "mainwindow.h"
#ifdef TILLGUI_SCREENSHOTS
#include "screenshotwalk.h"
#endif

#include <till/hostenvironment.h>
#include <till/receiptreader.h>
#include <till/standardstreams.h>
#include <till/till.h>

#include <version/version.h>

#include <QApplication>

#include <csignal>
#include <cstdlib>

namespace {

// The window on the screen, for finishOnExit().
tillgui::MainWindow *shownWindow = nullptr;

// The toolkit ends the program from its event loop when it loses its display (the X server
// died, the session was closed): a sale under way then gets what closing the window would give
// it, its cancellation sent or queued, before the program goes.
void finishOnExit()
{
    if (shownWindow)
        shownWindow->finishBeforeExit();
}

int unusable(const QString &error)
{
    till::StandardStreams::printError(QStringLiteral("till-gui: ") + error);
    return till::Unusable;
}

int runScreen(const tillgui::GuiOptions &options)
{
    QSharedPointer<Document> receipt;
    if (options.isSet(QStringLiteral("receipt"))) {
        const Result<QSharedPointer<Document>> read =
            till::ReceiptReader::read(options.value(QStringLiteral("receipt")));
        if (!read)
            return unusable(read.error());
        receipt = read.value();
    }
    till::HostEnvironment host;
    if (const Result<> setUp = host.setUp(options.value(QStringLiteral("log")),
                                          options.value(QStringLiteral("config")),
                                          options.queueFile(), options.pluginFile());
        !setUp)
        return unusable(setUp.error());
    host.setDocument(receipt);
    tillgui::MainWindow window(host, receipt);
    shownWindow = &window;
    std::atexit(finishOnExit);
    window.show();
    const int status = QApplication::exec();
    shownWindow = nullptr;
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    till::StandardStreams::guard();
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
    // Like --help, --version needs no display; it wins over every other argument.
    if (raw.contains(QLatin1String("--version"))) {
        return till::StandardStreams::printOut(QStringLiteral("till-gui " VELMOR_VERSION)).ok()
                   ? till::Done
                   : till::AnswerNotDelivered;
    }
    if (!qtOptions) {
        tillgui::GuiOptions early;
        if (const Result<> parsed = early.parse(raw); !parsed)
            return unusable(parsed.error());
        if (early.helpRequested()) {
            till::StandardStreams::printOut(tillgui::GuiOptions::helpText());
            return till::Done;
        }
    }
    // The pictures are drawn without a display unless a platform was chosen.
    if (tillgui::GuiOptions::asksForScreenshots(argc, argv) &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("till-gui"));
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();

    tillgui::GuiOptions options;
    if (const Result<> parsed = options.parse(arguments); !parsed)
        return unusable(parsed.error());
    if (options.helpRequested()) {
        till::StandardStreams::printOut(tillgui::GuiOptions::helpText());
        return till::Done;
    }
    tillgui::guitext::setLanguage(options.language());
    // Not a reason to refuse the till: only Qt's own few words stay in English.
    if (const Result<> qtTexts = tillgui::guitext::loadQtTexts(options.language()); !qtTexts)
        till::StandardStreams::printError(QStringLiteral("till-gui: ") + qtTexts.error());
    if (const Result<> catalogue =
            tillgui::guitext::loadCatalogue(options.language(), options.pluginFile());
        !catalogue)
        return unusable(catalogue.error());
    if (!options.screenshotDirectory().isEmpty()) {
#ifndef TILLGUI_SCREENSHOTS
        // The walk runs the sandbox service, which the shipped screen does not carry.
        return unusable(QStringLiteral("--screenshot is drawn by till-gui-screenshots of the "
                                       "build tree (make screenshots)"));
#else
        return tillgui::ScreenshotWalk(options.pluginFile(), options.screenshotDirectory()).run();
#endif
    }
    return runScreen(options);
}
