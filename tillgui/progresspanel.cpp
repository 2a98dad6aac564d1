#include "progresspanel.h"

#include "guitext.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tillgui {

namespace {

// The plug-in's progress texts, by key.
const QString ApprovedKey = QStringLiteral("velmorProgressApprovedMessage");
// The state a status request found, the state's own key as its argument.
const QString OrderStateKey = QStringLiteral("velmorProgressOrderState");
const QString ApprovedStateKey = QStringLiteral("velmorOrderStateApproved");

} // namespace

ProgressPanel::ProgressPanel(QWidget *parent)
    : QWidget(parent), m_title(new QLabel), m_order(new QLabel), m_bar(new QProgressBar),
      m_text(new QLabel), m_state(new QLabel), m_note(new QLabel),
      m_cancel(new QPushButton(guitext::text("Cancel")))
{
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    m_title->setFont(titleFont);
    m_title->setAlignment(Qt::AlignCenter);
    m_order->setAlignment(Qt::AlignCenter);
    m_order->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_bar->setRange(0, 100);
    m_text->setWordWrap(true);
    m_text->setAlignment(Qt::AlignCenter);
    QFont font = m_text->font();
    font.setPointSizeF(font.pointSizeF() * 1.2);
    m_text->setFont(font);
    m_state->setWordWrap(true);
    m_state->setAlignment(Qt::AlignCenter);
    m_note->setWordWrap(true);
    m_note->setAlignment(Qt::AlignCenter);
    // The scanner's Enter that started the sale reaches the dialog after the code field; as
    // the dialog's default button, Cancel would take it and cancel the sale at once.
    m_cancel->setAutoDefault(false);

    auto *layout = new QVBoxLayout(this);
    layout->addStretch();
    layout->addWidget(m_title);
    layout->addWidget(m_order);
    layout->addSpacing(m_text->fontMetrics().height());
    layout->addWidget(m_text);
    layout->addWidget(m_state);
    layout->addWidget(m_bar);
    layout->addWidget(m_note);
    layout->addStretch();
    layout->addWidget(m_cancel, 0, Qt::AlignRight);
    connect(m_cancel, &QPushButton::clicked, this, &ProgressPanel::cancelPressed);
    reset();
}

void ProgressPanel::setProgressValue(int value)
{
    QMetaObject::invokeMethod(
        this, [this, value] { m_bar->setValue(qBound(0, value, 100)); }, Qt::QueuedConnection);
}

void ProgressPanel::setProgressText(const tr::Tr &message)
{
    const QString text = guitext::of(message);
    const QString key = message.key();
    const QString state = key == OrderStateKey ? message.args().value(0).key() : QString();
    QMetaObject::invokeMethod(
        this, [this, key, state, text] { showText(key, state, text); }, Qt::QueuedConnection);
}

void ProgressPanel::showText(const QString &key, const QString &state, const QString &text)
{
    // The order's state goes beside the plug-in's other texts rather than replacing them.
    if (key == OrderStateKey) {
        m_stateKey = state;
        m_stateText = text;
    } else {
        m_textKey = key;
        m_text->setText(text);
    }
    showState();
}

void ProgressPanel::showState()
{
    const bool saysApproved = m_textKey == ApprovedKey;
    if (m_stateKey.isEmpty()) {
        m_state->setText(saysApproved ? guitext::text("Order state: not reported yet; do not tell "
                                                      "the buyer it is approved yet")
                                      : QString());
        return;
    }
    if (saysApproved && m_stateKey != ApprovedStateKey) {
        m_state->setText(m_stateText + QLatin1Char('\n') +
                         guitext::text("Do not tell the buyer it is approved yet: the lender has "
                                       "not decided"));
        return;
    }
    m_state->setText(m_stateText);
}

void ProgressPanel::reset()
{
    m_bar->setValue(0);
    m_text->clear();
    m_state->clear();
    m_textKey.clear();
    m_stateKey.clear();
    m_stateText.clear();
    m_note->clear();
    m_cancel->setEnabled(true);
}

void ProgressPanel::setOperation(const QString &title, const QString &orderId)
{
    m_title->setText(title);
    m_order->setText(orderId.isEmpty() ? QString() : guitext::text("Order %1").arg(orderId));
}

void ProgressPanel::setNote(const QString &note)
{
    m_note->setText(note);
}

void ProgressPanel::setCancelEnabled(bool enabled)
{
    m_cancel->setEnabled(enabled);
}

int ProgressPanel::value() const
{
    return m_bar->value();
}

QString ProgressPanel::text() const
{
    return m_text->text();
}

QString ProgressPanel::titleText() const
{
    return m_title->text();
}

QString ProgressPanel::noteText() const
{
    return m_note->text();
}

QString ProgressPanel::stateText() const
{
    return m_state->text();
}

QString ProgressPanel::orderText() const
{
    return m_order->text();
}

} // namespace tillgui
