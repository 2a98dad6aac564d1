#pragma once

#include <QWidget>

class QPushButton;

namespace tillgui {

// The main window's buttons for a sale (F2), a refund (F3), a cancellation (F4) and the queue
// (F5), each with its function key in front of its name, as on a till's keyboard legend. The
// key presses its button while the button is enabled; Enter on a focused button presses it,
// as in a dialog.
class FunctionKeyRow : public QWidget
{
    Q_OBJECT

public:
    explicit FunctionKeyRow(QWidget *parent = nullptr);

    // All four buttons enabled, or none while an operation runs.
    void setButtonsEnabled(bool enabled);
    // The queue's button with the number of messages waiting.
    void setQueueCount(int pending);

    QPushButton *saleButton() const { return m_sale; }
    QPushButton *refundButton() const { return m_refund; }
    QPushButton *cancelButton() const { return m_cancel; }
    QPushButton *queueButton() const { return m_queue; }

private:
    QPushButton *m_sale;
    QPushButton *m_refund;
    QPushButton *m_cancel;
    QPushButton *m_queue;
};

} // namespace tillgui
