#include "screenshotwalk.h"

#include "guitext.h"
#include "mainwindow.h"
#include "progresspanel.h"
#include "saledialog.h"
#include "scanpanel.h"

#include <document.h>
#include <hostenvironment.h>
#include <sandbox.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPixmap>
#include <QTemporaryDir>
#include <QThread>

namespace {

constexpr int StepTimeoutMs = 30000;

QSharedPointer<Document> demoReceipt()
{
    struct Line
    {
        int posnum;
        const char *articul;
        QString name;
        double quantity;
        double sumb;
    };
    const Line lines[] = {{1, "KETTLE-1", QStringLiteral("Чайник электрический"), 1, 1500.0},
                          {2, "MUG-2", QStringLiteral("Кружка"), 2, 500.0}};
    auto document = QSharedPointer<Document>::create();
    double total = 0.0;
    for (const Line &line : lines) {
        auto item = QSharedPointer<TGoodsItem>::create();
        item->setPosnum(line.posnum);
        item->setArticul(QString::fromLatin1(line.articul));
        item->setName(line.name);
        item->setQuantity(line.quantity);
        item->setSumb(line.sumb);
        document->addGoodsItem(item);
        total += line.sumb;
    }
    document->setTotalSum(total);
    return document;
}

} // namespace

ScreenshotWalk::ScreenshotWalk(const QString &pluginFile, const QString &directory)
    : m_pluginFile(pluginFile), m_directory(directory)
{}

int ScreenshotWalk::run()
{
    if (!QDir().mkpath(m_directory))
        return fail(2, QStringLiteral("screenshots: %1 cannot be created").arg(m_directory));
    // Two polls per state, so that the progress display has a moment to be pictured.
    Sandbox::Options options;
    options.pollsPerState = 2;
    Sandbox sandbox(options);
    if (!sandbox.start())
        return fail(2, QStringLiteral("screenshots: the local service cannot listen on a "
                                      "loopback port"));
    QTemporaryDir work;
    if (!work.isValid())
        return fail(
            2, QStringLiteral("screenshots: no temporary directory: %1").arg(work.errorString()));
    const QString configFile = work.filePath(QStringLiteral("velmor.ini"));
    QFile config(configFile);
    if (!config.open(QIODevice::WriteOnly | QIODevice::Text))
        return fail(2, QStringLiteral("screenshots: %1: %2").arg(configFile, config.errorString()));
    config.write(QStringLiteral("[Velmor]\nurl=%1\nlogin=\"%2\"\npassword=\"%3\"\ntimeout=5\n\n"
                                "[Velmro]\ninfoRequestInterval=1\n")
                     .arg(sandbox.baseUrl(), options.login, options.password)
                     .toUtf8());
    config.close();

    HostEnvironment host;
    if (!host.setUpLogging(work.filePath(QStringLiteral("till.log"))) ||
        !host.setUpServices(configFile, work.filePath(QStringLiteral("queue.sqlite"))) ||
        !host.loadPlugin(m_pluginFile))
        return fail(2, host.errorString());
    const QSharedPointer<Document> receipt = demoReceipt();
    host.setDocument(receipt);

    const QString language = guitext::language();
    for (const QString &lang : {QStringLiteral("ru"), QStringLiteral("en")}) {
        guitext::setLanguage(lang);
        QString catalogueError;
        if (!guitext::loadCatalogue(lang, m_pluginFile, &catalogueError))
            return fail(2, catalogueError);
        MainWindow window(host, receipt);
        window.show();
        SaleDialog *dialog = window.saleDialog();
        waitFor([&window] { return window.isVisible(); }, StepTimeoutMs);
        if (!shoot(&window, QStringLiteral("main-%1.png").arg(lang)))
            return 1;

        const struct
        {
            const char *code;
            QString picture;
        } sales[] = {{Sandbox::CodeApprove, QStringLiteral("approved")},
                     {Sandbox::CodeReject, QStringLiteral("rejected")}};
        for (const auto &sale : sales) {
            if (!window.startSale())
                return fail(1, QStringLiteral("screenshots: the sale did not start"));
            waitFor([dialog] { return dialog->isVisible(); }, StepTimeoutMs);
            QLineEdit *code = dialog->scanPanel()->codeField();
            code->setText(QString::fromLatin1(sale.code));
            if (sale.picture == QLatin1String("approved")) {
                if (!shoot(dialog, QStringLiteral("scan-%1.png").arg(lang)))
                    return 1;
            }
            // What a scanner's Enter does.
            emit code->returnPressed();
            if (sale.picture == QLatin1String("approved")) {
                ProgressPanel *progress = dialog->progressPanel();
                if (!waitFor(
                        [progress] { return progress->value() > 0 && !progress->text().isEmpty(); },
                        StepTimeoutMs))
                    return fail(1, QStringLiteral("screenshots: no progress was shown"));
                if (!shoot(dialog, QStringLiteral("progress-%1.png").arg(lang)))
                    return 1;
            }
            if (!waitFor([dialog] { return dialog->page() == SaleDialog::Page::Answer; },
                         StepTimeoutMs))
                return fail(1, QStringLiteral("screenshots: the sale gave no answer"));
            if (!shoot(dialog, QStringLiteral("%1-%2.png").arg(sale.picture, lang)))
                return 1;
            dialog->accept();
        }
        window.close();
    }
    guitext::setLanguage(language);
    QString catalogueError;
    guitext::loadCatalogue(language, m_pluginFile, &catalogueError);
    return 0;
}

bool ScreenshotWalk::shoot(QWidget *widget, const QString &name)
{
    // Layouts and queued progress settle before the picture is taken: a word-wrapped label
    // takes its height only after a layout pass or two.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 150)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const QString path = QDir(m_directory).filePath(name);
    if (!widget->grab().save(path, "PNG")) {
        fail(1, QStringLiteral("screenshots: %1 cannot be written").arg(path));
        return false;
    }
    m_written.append(path);
    return true;
}

bool ScreenshotWalk::waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return true;
}

int ScreenshotWalk::fail(int status, const QString &error)
{
    m_error = error;
    return status;
}
