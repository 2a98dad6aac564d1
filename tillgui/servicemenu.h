#pragma once

#include <QList>
#include <QObject>
#include <QString>

class BasicPaymentProcessing;
class PaymentProcessingAnswer;
class QAction;
class QMainWindow;

namespace tillgui {

class OperationRunner;

// The host's other buttons on the cashier's screen: a "Service" menu whose items call the
// processing interface's slots through the loaded plug-in, as a host's menu does (connection
// test, payment status, reconciliation, report, short report, copy of the last slip), each
// with a key of its own, and show the answer with the lines the host would print. The calls
// run on the operation runner's worker, one at a time like the sales.
class ServiceMenu : public QObject
{
    Q_OBJECT

public:
    ServiceMenu(QMainWindow *window, BasicPaymentProcessing *processing, OperationRunner *runner);

    enum class Item { TestConnection, PaymentStatus, Reconcile, Report, ShortReport, PrintCopy };
    QAction *action(Item item) const;

    // The text of the last answer shown, and the lines under it.
    QString lastShown() const { return m_lastShown; }

signals:
    // An item's answer, once it has been shown.
    void answered(const PaymentProcessingAnswer &answer);

private:
    void press(Item item);
    void show(const PaymentProcessingAnswer &answer);
    static QString label(Item item);

    QMainWindow *m_window;
    BasicPaymentProcessing *m_processing;
    OperationRunner *m_runner;
    QList<QAction *> m_actions;
    QString m_lastShown;
};

} // namespace tillgui
