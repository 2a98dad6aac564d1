#include "answerpanel.h"

#include "guitext.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

AnswerPanel::AnswerPanel(QWidget *parent)
    : QWidget(parent), m_status(new QLabel), m_message(new QLabel), m_rrn(new QLabel)
{
    QFont font = m_status->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.6);
    m_status->setFont(font);
    m_status->setAlignment(Qt::AlignCenter);
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setWordWrap(true);
    m_rrn->setAlignment(Qt::AlignCenter);
    m_rrn->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *done = new QPushButton(guitext::text("Done"));
    // Only a click dismisses the answer, not a stray Enter from the scanner.
    done->setAutoDefault(false);

    auto *layout = new QVBoxLayout(this);
    layout->addStretch();
    layout->addWidget(m_status);
    layout->addWidget(m_message);
    layout->addWidget(m_rrn);
    layout->addStretch();
    layout->addWidget(done, 0, Qt::AlignRight);
    connect(done, &QPushButton::clicked, this, &AnswerPanel::donePressed);
}

void AnswerPanel::showAnswer(const PaymentProcessingAnswer &answer)
{
    QString status;
    QString colour = QStringLiteral("#b00020");
    switch (answer.getStatus()) {
    case PaymentProcessingAnswer::Success:
        status = guitext::text("Approved");
        colour = QStringLiteral("#1b7f2a");
        break;
    case PaymentProcessingAnswer::SuccessWithMessage:
        status = guitext::text("Done with a message");
        colour = QStringLiteral("#1b7f2a");
        break;
    case PaymentProcessingAnswer::Failure:
        status = guitext::text("Refused");
        break;
    case PaymentProcessingAnswer::OrderCanceled:
        status = guitext::text("Order cancelled");
        break;
    default:
        status = guitext::text("Status %1").arg(int(answer.getStatus()));
        break;
    }
    m_status->setText(status);
    m_status->setStyleSheet(QStringLiteral("color: %1").arg(colour));
    m_message->setText(guitext::of(answer.getMessage()));
    m_rrn->setText(answer.getRRN().isEmpty()
                       ? QString()
                       : guitext::text("Reference (RRN):") + QLatin1Char('\n') + answer.getRRN());
}

QString AnswerPanel::statusText() const
{
    return m_status->text();
}

QString AnswerPanel::messageText() const
{
    return m_message->text();
}

QString AnswerPanel::rrnText() const
{
    return m_rrn->text();
}
