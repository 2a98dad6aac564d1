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

struct ItemText
{
    ServiceMenu::Item item;
    const char *english;
    const char *russian;
    QKeySequence key;
};

// The menu's own labels in both of the screen's languages; "&" marks the letter Alt takes.
const ItemText Items[] = {
    {ServiceMenu::Item::TestConnection, "&Test connection", "&Проверка связи",
     QKeySequence(Qt::Key_F6)},
    {ServiceMenu::Item::PaymentStatus, "Payment &status...", "&Состояние оплаты...",
     QKeySequence(Qt::Key_F7)},
    {ServiceMenu::Item::Reconcile, "&Reconciliation", "С&верка итогов", QKeySequence(Qt::Key_F8)},
    {ServiceMenu::Item::Report, "R&eport", "&Отчет", QKeySequence(Qt::CTRL | Qt::Key_R)},
    {ServiceMenu::Item::ShortReport, "S&hort report", "&Краткий отчет",
     QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R)},
    {ServiceMenu::Item::PrintCopy, "Print a &copy", "&Копия слипа",
     QKeySequence(Qt::CTRL | Qt::Key_P)},
};

QString shown(const char *english, const char *russian)
{
    return guitext::language() == QLatin1String("en") ? QString::fromUtf8(english)
                                                      : QString::fromUtf8(russian);
}

} // namespace

ServiceMenu::ServiceMenu(QMainWindow *window, BasicPaymentProcessing *processing,
                         OperationRunner *runner)
    : QObject(window), m_window(window), m_processing(processing), m_runner(runner)
{
    QMenu *menu = window->menuBar()->addMenu(shown("Se&rvice", "&Сервис"));
    for (const ItemText &text : Items) {
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
    for (const ItemText &text : Items) {
        if (text.item == item)
            return shown(text.english, text.russian);
    }
    return QString();
}

void ServiceMenu::press(Item item)
{
    QString orderId;
    if (item == Item::PaymentStatus) {
        bool given = false;
        orderId = QInputDialog::getText(m_window, label(item).remove(QLatin1Char('&')),
                                        shown("Order (the sale's rrn):", "Заказ (rrn продажи):"),
                                        QLineEdit::Normal, QString(), &given)
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
                                shown("Service", "Сервис"), guitext::of(answer.getMessage()),
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
