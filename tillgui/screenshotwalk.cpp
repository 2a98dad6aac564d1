#include "screenshotwalk.h"

#include "canceldialog.h"
#include "confirmdialog.h"
#include "guitext.h"
#include "mainwindow.h"
#include "operationrunner.h"
#include "orderidfield.h"
#include "progresspanel.h"
#include "queuedialog.h"
#include "refunddialog.h"
#include "saledialog.h"
#include "scanpanel.h"

#include <document.h>
#include <sandbox/sandbox.h>
#include <till/hostenvironment.h>
#include <till/standardstreams.h>

#include <QCoreApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>
#include <QThread>

namespace tillgui {

namespace {

constexpr int StepTimeoutMs = 30000;
// The till's screen the pictures show.
const QSize ScreenSize(1024, 768);

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
        return finish(2, QStringLiteral("screenshots: %1 cannot be created").arg(m_directory));
    // Two polls per state, so that the progress display has a moment to be pictured.
    sandbox::Sandbox::Options options;
    options.pollsPerState = 2;
    sandbox::Sandbox sandbox(options);
    if (!sandbox.start())
        return finish(2, QStringLiteral("screenshots: the local service cannot listen on a "
                                        "loopback port"));
    QTemporaryDir work;
    if (!work.isValid())
        return finish(
            2, QStringLiteral("screenshots: no temporary directory: %1").arg(work.errorString()));
    const QString configFile = work.filePath(QStringLiteral("velmor.ini"));
    QFile config(configFile);
    if (!config.open(QIODevice::WriteOnly | QIODevice::Text))
        return finish(2,
                      QStringLiteral("screenshots: %1: %2").arg(configFile, config.errorString()));
    config.write(QStringLiteral("[Velmor]\nurl=%1\nlogin=\"%2\"\npassword=\"%3\"\ntimeout=5\n\n"
                                "[Velmro]\ninfoRequestInterval=1\n")
                     .arg(sandbox.baseUrl(), options.login, options.password)
                     .toUtf8());
    config.close();

    till::HostEnvironment host;
    if (const Result<> setUp =
            host.setUp(work.filePath(QStringLiteral("till.log")), configFile,
                       work.filePath(QStringLiteral("queue.sqlite")), m_pluginFile);
        !setUp)
        return finish(2, setUp.error());
    const QSharedPointer<Document> receipt = demoReceipt();
    host.setDocument(receipt);

    const QString language = guitext::language();
    for (const QString &lang : {QStringLiteral("ru"), QStringLiteral("en")}) {
        guitext::setLanguage(lang);
        if (const Result<> catalogue = guitext::loadCatalogue(lang, m_pluginFile); !catalogue)
            return finish(2, catalogue.error());
        // Without Qt's catalogue its few buttons are drawn in English; the walk goes on.
        guitext::loadQtTexts(lang);
        if (const Result<> walked = walk(host, sandbox, receipt, lang); !walked)
            return finish(1, walked.error());
    }
    guitext::setLanguage(language);
    guitext::loadCatalogue(language, m_pluginFile);
    guitext::loadQtTexts(language);
    return finish(0, QString());
}

Result<> ScreenshotWalk::walk(till::HostEnvironment &host, sandbox::Sandbox &sandbox,
                              const QSharedPointer<Document> &receipt, const QString &lang)
{
    MainWindow window(host, receipt);
    window.resize(ScreenSize);
    window.show();
    SaleDialog *dialog = window.saleDialog();
    waitFor([&window] { return window.isVisible(); }, StepTimeoutMs);
    if (const Result<> shot = shoot(&window, nullptr, QStringLiteral("main-%1.png").arg(lang));
        !shot)
        return shot;

    const struct
    {
        const char *code;
        QString picture;
    } sales[] = {{sandbox::Sandbox::CodeReject, QStringLiteral("rejected")},
                 {sandbox::Sandbox::CodeApprove, QStringLiteral("approved")}};
    QString paidOrder;
    // The rejection first: once the receipt is paid it takes no further sale.
    for (const auto &sale : sales) {
        if (!window.startSale())
            return ResultError(QStringLiteral("screenshots: the sale did not start"));
        waitFor([dialog] { return dialog->isVisible(); }, StepTimeoutMs);
        QLineEdit *code = dialog->scanPanel()->codeField();
        code->setText(QString::fromLatin1(sale.code));
        const bool first = sale.picture == QLatin1String("approved");
        if (first) {
            if (const Result<> shot =
                    shoot(&window, dialog, QStringLiteral("scan-%1.png").arg(lang));
                !shot)
                return shot;
        }
        // What a scanner's Enter does.
        emit code->returnPressed();
        if (first) {
            ProgressPanel *progress = dialog->progressPanel();
            if (!waitFor(
                    [progress] { return progress->value() > 0 && !progress->text().isEmpty(); },
                    StepTimeoutMs))
                return ResultError(QStringLiteral("screenshots: no progress was shown"));
            if (const Result<> shot =
                    shoot(&window, dialog, QStringLiteral("progress-%1.png").arg(lang));
                !shot)
                return shot;
        }
        if (const Result<> answer = answered(dialog); !answer)
            return answer;
        if (const Result<> shot =
                shoot(&window, dialog, QStringLiteral("%1-%2.png").arg(sale.picture, lang));
            !shot)
            return shot;
        if (first)
            paidOrder = window.lastAnswer().getRRN();
        dialog->accept();
    }

    // A refund of the second position of the paid sale.
    window.askRefund();
    RefundDialog *refund = window.refundDialog();
    if (!refund || !waitFor([refund] { return refund->isVisible(); }, StepTimeoutMs))
        return ResultError(QStringLiteral("screenshots: the refund dialog did not open"));
    refund->rrnField()->setText(paidOrder);
    refund->returnedField(0)->setValue(0);
    if (const Result<> shot = shoot(&window, refund, QStringLiteral("refund-%1.png").arg(lang));
        !shot)
        return shot;
    refund->accept();
    if (!refund->confirmation() ||
        !shoot(&window, refund->confirmation(), QStringLiteral("confirm-%1.png").arg(lang)).ok())
        return ResultError(
            QStringLiteral("screenshots: the refund was not offered for confirmation"));
    refund->confirmation()->accept();
    if (const Result<> answer = answered(dialog); !answer)
        return answer;
    if (const Result<> shot = shoot(&window, dialog, QStringLiteral("refunded-%1.png").arg(lang));
        !shot)
        return shot;
    dialog->accept();

    window.hide();
    return cancellationWalk(host, sandbox, receipt, lang);
}

Result<> ScreenshotWalk::cancellationWalk(till::HostEnvironment &host, sandbox::Sandbox &sandbox,
                                          const QSharedPointer<Document> &receipt,
                                          const QString &lang)
{
    // The same receipt at another till's window, paid there and cancelled while the service
    // does not answer: queued.
    MainWindow window(host, receipt);
    window.resize(ScreenSize);
    window.show();
    SaleDialog *dialog = window.saleDialog();
    waitFor([&window] { return window.isVisible(); }, StepTimeoutMs);
    if (!window.startSale())
        return ResultError(QStringLiteral("screenshots: the sale did not start"));
    emit dialog->scanPanel()->codeEntered(QString::fromLatin1(sandbox::Sandbox::CodeApprove));
    if (const Result<> answer = answered(dialog); !answer)
        return answer;
    dialog->accept();
    sandbox.setFault(sandbox::Sandbox::Endpoint::Refund, sandbox::Sandbox::Fault::Drop);
    window.askCancel();
    CancelDialog *cancel = window.cancelDialog();
    if (!cancel || !waitFor([cancel] { return cancel->isVisible(); }, StepTimeoutMs))
        return ResultError(QStringLiteral("screenshots: the cancellation dialog did not open"));
    if (const Result<> shot = shoot(&window, cancel, QStringLiteral("cancel-%1.png").arg(lang));
        !shot)
        return shot;
    cancel->accept();
    if (!cancel->confirmation())
        return ResultError(QStringLiteral("screenshots: the cancellation was not offered for "
                                          "confirmation"));
    cancel->confirmation()->accept();
    if (const Result<> answer = answered(dialog); !answer)
        return answer;
    if (const Result<> shot = shoot(&window, dialog, QStringLiteral("queued-%1.png").arg(lang));
        !shot)
        return shot;
    dialog->accept();
    sandbox.setFault(sandbox::Sandbox::Endpoint::Refund, sandbox::Sandbox::Fault::None);

    // The queue with that cancellation, then sent again so that the next walk starts empty.
    window.showQueue();
    QueueDialog *queue = window.queueDialog();
    waitFor([queue] { return queue->isVisible(); }, StepTimeoutMs);
    if (const Result<> shot = shoot(&window, queue, QStringLiteral("queue-%1.png").arg(lang));
        !shot)
        return shot;
    if (!queue->replay() ||
        !waitFor([&window, queue] { return window.runner()->isIdle() && queue->rowCount() == 0; },
                 StepTimeoutMs))
        return ResultError(QStringLiteral("screenshots: the queue was not sent again"));
    queue->accept();
    window.close();
    return ResultOk;
}

Result<> ScreenshotWalk::answered(SaleDialog *dialog)
{
    if (waitFor([dialog] { return dialog->page() == SaleDialog::Page::Answer; }, StepTimeoutMs))
        return ResultOk;
    return ResultError(QStringLiteral("screenshots: the operation gave no answer"));
}

Result<> ScreenshotWalk::shoot(QWidget *window, QWidget *dialog, const QString &name)
{
    // Layouts and queued progress settle before the picture is taken: a word-wrapped label
    // takes its height only after a layout pass or two.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 150)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    // The till's screen: the window, and the dialog over its middle with a frame and its title,
    // as a window manager would draw it.
    QPixmap screen = window->grab();
    if (dialog) {
        const QPixmap picture = dialog->grab();
        const int titleHeight = dialog->fontMetrics().height() + 10;
        const QRect frame(QPoint((screen.width() - picture.width()) / 2,
                                 (screen.height() - picture.height() - titleHeight) / 2),
                          QSize(picture.width(), picture.height() + titleHeight));
        QPainter painter(&screen);
        painter.fillRect(screen.rect(), QColor(0, 0, 0, 60));
        painter.fillRect(frame.x(), frame.y(), frame.width(), titleHeight,
                         QColor(0x3c, 0x4a, 0x5a));
        painter.setPen(Qt::white);
        painter.setFont(dialog->font());
        painter.drawText(QRect(frame.x() + 8, frame.y(), frame.width() - 16, titleHeight),
                         Qt::AlignVCenter | Qt::AlignLeft, dialog->windowTitle());
        painter.drawPixmap(frame.x(), frame.y() + titleHeight, picture);
        painter.setPen(QColor(0x3c, 0x4a, 0x5a));
        painter.drawRect(frame.adjusted(0, 0, -1, -1));
    }
    const QString path = QDir(m_directory).filePath(name);
    if (!screen.save(path, "PNG"))
        return ResultError(QStringLiteral("screenshots: %1 cannot be written").arg(path));
    m_written.append(path);
    return ResultOk;
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

int ScreenshotWalk::finish(int status, const QString &why)
{
    for (const QString &file : qAsConst(m_written))
        till::StandardStreams::printOut(file);
    if (status != 0)
        till::StandardStreams::printError(QStringLiteral("till-gui: ") + why);
    return status;
}

} // namespace tillgui
