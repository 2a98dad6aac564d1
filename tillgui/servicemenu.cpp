#include "servicemenu.h"

#include "guitext.h"
#include "operationrunner.h"

#include <basicpaymentprocessing.h>
#include <paymentprocessinganswer.h>

#include <QAction>
#include <QInputDialog>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>

#include <memory>

namespace tillgui {

namespace {

// The items in the menu's order, with their keys.
const struct
{
    ServiceMenu::Item item;
    QKeySequence key;
} Items[] = {
    {ServiceMenu::Item::TestConnection, QKeySequence(Qt::Key_F6)},
    {ServiceMenu::Item::PaymentStatus, QKeySequence(Qt::Key_F7)},
    {ServiceMenu::Item::Reconcile, QKeySequence(Qt::Key_F8)},
    {ServiceMenu::Item::Report, QKeySequence(Qt::CTRL | Qt::Key_R)},
    {ServiceMenu::Item::ShortReport, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R)},
    {ServiceMenu::Item::PrintCopy, QKeySequence(Qt::CTRL | Qt::Key_P)},
};

} // namespace

ServiceMenu::ServiceMenu(QMainWindow *window, BasicPaymentProcessing *processing,
                         OperationRunner *runner)
    : QObject(window), m_window(window), m_processing(processing), m_runner(runner)
{
    // "&" marks the letter Alt takes.
    QMenu *menu = window->menuBar()->addMenu(guitext::text("Se&rvice"));
    for (const auto &text : Items) {
        QAction *action = menu->addAction(label(text.item));
        action->setShortcut(text.key);
        const Item item = text.item;
        connect(action, &QAction::triggered, this, [this, item] { press(item); });
        m_actions.append(action);
    }
    // No item while a sale, refund or cancellation runs: a host runs one operation at a time.
    connect(m_runner, &OperationRunner::started, this, [this] {
        for (QAction *action : qAsConst(m_actions))
            action->setEnabled(false);
    });
    connect(m_runner, &OperationRunner::idle, this, [this] {
        for (QAction *action : qAsConst(m_actions))
            action->setEnabled(true);
    });
}

QAction *ServiceMenu::action(Item item) const
{
    return m_actions.value(int(item));
}

QString ServiceMenu::label(Item item)
{
    switch (item) {
    case Item::TestConnection:
        return guitext::text("&Test connection");
    case Item::PaymentStatus:
        return guitext::text("Payment &status...");
    case Item::Reconcile:
        return guitext::text("&Reconciliation");
    case Item::Report:
        return guitext::text("R&eport");
    case Item::ShortReport:
        return guitext::text("S&hort report");
    case Item::PrintCopy:
        return guitext::text("Print a &copy");
    }
    return QString();
}

void ServiceMenu::press(Item item)
{
    QString orderId;
    if (item == Item::PaymentStatus) {
        bool given = false;
        orderId = QInputDialog::getText(m_window, label(item).remove(QLatin1Char('&')),
                                        guitext::text("Order (the sale's rrn):"), QLineEdit::Normal,
                                        QString(), &given)
                      .trimmed();
        if (!given || orderId.isEmpty())
            return;
    }
    auto answer = std::make_shared<PaymentProcessingAnswer>();
    BasicPaymentProcessing *processing = m_processing;
    const auto work = [processing, item, orderId, answer] {
        switch (item) {
        case Item::TestConnection:
            *answer = processing->testConnection();
            break;
        case Item::PaymentStatus:
            *answer = processing->getPaymentByQRCodeStatus(orderId);
            break;
        case Item::Reconcile:
            *answer = processing->checkTotals(0);
            break;
        case Item::Report:
            *answer = processing->printReport();
            break;
        case Item::ShortReport:
            *answer = processing->printShortReport();
            break;
        case Item::PrintCopy:
            *answer = processing->printCopy(0);
            break;
        }
    };
    m_runner->run(work, [this, answer] { show(*answer); });
}

void ServiceMenu::show(const PaymentProcessingAnswer &answer)
{
    const bool success = answer.getStatus() == PaymentProcessingAnswer::Success ||
                         answer.getStatus() == PaymentProcessingAnswer::SuccessWithMessage;
    // Window-modal and not waited for: the screen's event loop goes on, and Enter closes it.
    auto *box = new QMessageBox(success ? QMessageBox::Information : QMessageBox::Warning,
                                guitext::text("Service"), guitext::of(answer.getMessage()),
                                QMessageBox::Ok, m_window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    const QStringList images = answer.getPrintImages();
    // What the host would print, as it would print it.
    if (!images.isEmpty())
        box->setDetailedText(images.join(QLatin1Char('\n')));
    m_lastShown = box->text() + QLatin1Char('\n') + box->detailedText();
    box->open();
    emit answered(answer);
}

} // namespace tillgui
