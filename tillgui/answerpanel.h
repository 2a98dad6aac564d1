#pragma once

#include "outcome.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace tillgui {

// The end of one operation: what happened to what, in green (done), amber (pending: queued,
// or an outcome nobody knows yet), red (refused, not done) or blue (not done, to be tried
// again), what became of the buyer's money and what to do next, the plug-in's message beneath,
// the order and the reference handed back.
class AnswerPanel : public QWidget
{
    Q_OBJECT

public:
    explicit AnswerPanel(QWidget *parent = nullptr);

    void showOutcome(const Outcome &outcome);

    QString statusText() const;
    Outcome::Tone tone() const { return m_tone; }
    QString adviceText() const;
    QString messageText() const;
    QString rrnText() const;
    QPushButton *doneButton() const { return m_done; }

signals:
    void donePressed();

private:
    QLabel *m_status;
    QLabel *m_advice;
    QLabel *m_message;
    QLabel *m_rrn;
    QPushButton *m_done;
    Outcome::Tone m_tone = Outcome::Tone::Failed;
};

} // namespace tillgui
