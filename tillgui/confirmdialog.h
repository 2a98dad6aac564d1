#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace tillgui {

// The second look before money goes back to a buyer: what a refund or a cancellation returns,
// for how much and to which order. Enter and Escape back out, so that a scanner's Enter or a
// key pressed once too often cannot send it; only the confirming key (F9) or a click on the
// confirming button, which takes no keyboard focus, confirms.
class ConfirmDialog : public QDialog
{
    Q_OBJECT

public:
    static const Qt::Key ConfirmKey;

    // `summary` says what goes back; `warning`, when not empty, stands out beneath it (e.g. the
    // same refund already waiting in the queue); `action` names the operation on the button.
    ConfirmDialog(const QString &title, const QString &summary, const QString &warning,
                  const QString &action, QWidget *parent = nullptr);

    QString summaryText() const;
    QString warningText() const;
    QPushButton *confirmButton() const { return m_confirm; }
    QPushButton *backButton() const { return m_back; }

private:
    QLabel *m_summary;
    QLabel *m_warning;
    QPushButton *m_confirm;
    QPushButton *m_back;
};

} // namespace tillgui
