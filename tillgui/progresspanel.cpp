#include "progresspanel.h"

#include "guitext.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tillgui {

namespace {

// The plug-in's progress texts, by key.
const QString CreatingKey = QStringLiteral("velmorProgressCreateMessage");
const QString ApprovedKey = QStringLiteral("velmorProgressApprovedMessage");
const QString ReadingStatusKey = QStringLiteral("velmorProgressInfoMessage");

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
    QMetaObject::invokeMethod(
        this, [this, key, text] { showText(key, text); }, Qt::QueuedConnection);
}

void ProgressPanel::showText(const QString &key, const QString &text)
{
    m_text->setText(text);
    if (key == CreatingKey) {
        m_creating = true;
    } else if (key == ReadingStatusKey) {
        m_creating = false;
    } else if (key == ApprovedKey) {
        m_state->setText(m_creating ? guitext::text("Order state: accepted, the lender is "
                                                    "deciding; do not tell the buyer it is "
                                                    "approved yet")
                                    : guitext::text("Order state: approved by the lender, "
                                                    "waiting for the buyer's first payment"));
        m_creating = false;
    }
}

void ProgressPanel::reset()
{
    m_bar->setValue(0);
    m_text->clear();
    m_state->clear();
    m_creating = false;
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
