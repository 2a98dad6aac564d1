#include "answerpanel.h"

#include "guitext.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tillgui {

namespace {

QString colour(Outcome::Tone tone)
{
    switch (tone) {
    case Outcome::Tone::Done:
        return QStringLiteral("#1b7f2a");
    case Outcome::Tone::Pending:
        return QStringLiteral("#a35a00");
    case Outcome::Tone::Retry:
        // Neither the green of money taken nor the red of a refused buyer.
        return QStringLiteral("#1f4e9c");
    case Outcome::Tone::Failed:
        break;
    }
    return QStringLiteral("#b00020");
}

} // namespace

AnswerPanel::AnswerPanel(QWidget *parent)
    : QWidget(parent), m_status(new QLabel), m_advice(new QLabel), m_message(new QLabel),
      m_rrn(new QLabel), m_done(new QPushButton(guitext::text("Done")))
{
    QFont font = m_status->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.6);
    m_status->setFont(font);
    m_status->setAlignment(Qt::AlignCenter);
    m_status->setWordWrap(true);
    QFont adviceFont = m_advice->font();
    adviceFont.setPointSizeF(adviceFont.pointSizeF() * 1.2);
    m_advice->setFont(adviceFont);
    m_advice->setAlignment(Qt::AlignCenter);
    m_advice->setWordWrap(true);
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setWordWrap(true);
    m_rrn->setAlignment(Qt::AlignCenter);
    m_rrn->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // The dialog decides what Enter does on this page (see SaleDialog), not the button.
    m_done->setAutoDefault(false);

    auto *layout = new QVBoxLayout(this);
    layout->addStretch();
    layout->addWidget(m_status);
    layout->addWidget(m_advice);
    layout->addWidget(m_message);
    layout->addWidget(m_rrn);
    layout->addStretch();
    layout->addWidget(m_done, 0, Qt::AlignRight);
    connect(m_done, &QPushButton::clicked, this, &AnswerPanel::donePressed);
}

void AnswerPanel::showOutcome(const Outcome &outcome)
{
    m_tone = outcome.tone();
    m_status->setText(outcome.headline());
    m_status->setStyleSheet(QStringLiteral("color: %1").arg(colour(m_tone)));
    m_advice->setText(outcome.advice());
    m_message->setText(outcome.message());
    QStringList lines;
    if (!outcome.orderId().isEmpty())
        lines.append(guitext::text("Order %1").arg(outcome.orderId()));
    if (!outcome.reference().isEmpty() && outcome.reference() != outcome.orderId())
        lines.append(guitext::text("Reference (RRN):") + QLatin1Char(' ') + outcome.reference());
    m_rrn->setText(lines.join(QLatin1Char('\n')));
}

QString AnswerPanel::statusText() const
{
    return m_status->text();
}

QString AnswerPanel::adviceText() const
{
    return m_advice->text();
}

QString AnswerPanel::messageText() const
{
    return m_message->text();
}

QString AnswerPanel::rrnText() const
{
    return m_rrn->text();
}

} // namespace tillgui
