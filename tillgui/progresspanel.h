#pragma once

#include <progressview.h>

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace tillgui {

// The host's progress display on the cashier's screen: a bar, the plug-in's text and the
// Cancel button. The plug-in reports from the thread it runs on, so every change reaches the
// widgets as a queued call on the window's thread.
//
// The plug-in says "approved" as soon as the service has accepted the order, while the lender
// may still be deciding. Beside that text the panel shows the order's state as the plug-in's
// status requests report it (a progress text of its own), and warns while no report says
// approved, so that nobody tells a buyer "approved" before the lender has decided.
class ProgressPanel : public QWidget, public ProgressView
{
    Q_OBJECT

public:
    explicit ProgressPanel(QWidget *parent = nullptr);

    // Any thread.
    void setProgressValue(int value) override;
    void setProgressText(const tr::Tr &message) override;

    // The window's thread: a fresh display, with Cancel enabled.
    void reset();
    // What runs ("Оплата 2000.00") and the order it is about, when known, above the bar.
    void setOperation(const QString &title, const QString &orderId);
    // A line of the till's own under the plug-in's text, e.g. what became of a cancellation.
    void setNote(const QString &note);
    void setCancelEnabled(bool enabled);

    int value() const;
    QString text() const;
    QString titleText() const;
    QString orderText() const;
    // The line beside the plug-in's text: the order's state as the status requests report it,
    // with a warning while the text says approved and no report does; empty otherwise.
    QString stateText() const;
    QString noteText() const;
    QPushButton *cancelButton() const { return m_cancel; }

signals:
    void cancelPressed();

private:
    // `state`: the key of the order's state for a state report, else empty.
    void showText(const QString &key, const QString &state, const QString &text);
    void showState();

    QLabel *m_title;
    QLabel *m_order;
    QProgressBar *m_bar;
    QLabel *m_text;
    QLabel *m_state;
    QLabel *m_note;
    QPushButton *m_cancel;
    // The key of the plug-in's text in m_text, and the last state reported, with its text.
    QString m_textKey;
    QString m_stateKey;
    QString m_stateText;
};

} // namespace tillgui
