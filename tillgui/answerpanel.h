#pragma once

#include <paymentprocessinganswer.h>

#include <QWidget>

class QLabel;

// The plug-in's answer: its status, its message and the reference (RRN) of the order.
class AnswerPanel : public QWidget
{
    Q_OBJECT

public:
    explicit AnswerPanel(QWidget *parent = nullptr);

    void showAnswer(const PaymentProcessingAnswer &answer);

    QString statusText() const;
    QString messageText() const;
    QString rrnText() const;

signals:
    void donePressed();

private:
    QLabel *m_status;
    QLabel *m_message;
    QLabel *m_rrn;
};
