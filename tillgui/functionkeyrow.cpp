#include "functionkeyrow.h"

#include "guitext.h"

#include <QHBoxLayout>
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>

namespace tillgui {

namespace {

const Qt::Key SaleKey = Qt::Key_F2;
const Qt::Key RefundKey = Qt::Key_F3;
const Qt::Key CancelKey = Qt::Key_F4;
const Qt::Key QueueKey = Qt::Key_F5;

// The function key in front of the button's name.
QString keyed(Qt::Key key, const QString &label)
{
    return QKeySequence(key).toString(QKeySequence::NativeText) + QStringLiteral("  ") + label;
}

} // namespace

FunctionKeyRow::FunctionKeyRow(QWidget *parent)
    : QWidget(parent), m_sale(new QPushButton(keyed(SaleKey, guitext::text("Sale")))),
      m_refund(new QPushButton(keyed(RefundKey, guitext::text("Refund")))),
      m_cancel(new QPushButton(keyed(CancelKey, guitext::text("Cancel payment")))),
      m_queue(new QPushButton)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    const struct
    {
        Qt::Key key;
        QPushButton *button;
    } keys[] = {
        {SaleKey, m_sale}, {RefundKey, m_refund}, {CancelKey, m_cancel}, {QueueKey, m_queue}};
    for (const auto &key : keys) {
        QPushButton *button = key.button;
        button->setAutoDefault(true);
        layout->addWidget(button);
        // Shortcuts of the row rather than of the buttons: a button's text change (the queue's
        // count) would drop a shortcut set on the button. They act in the row's window.
        auto *shortcut = new QShortcut(QKeySequence(key.key), this);
        connect(shortcut, &QShortcut::activated, button, [button] {
            if (button->isEnabled())
                button->click();
        });
    }
}

void FunctionKeyRow::setButtonsEnabled(bool enabled)
{
    for (QPushButton *button : {m_sale, m_refund, m_cancel, m_queue})
        button->setEnabled(enabled);
}

void FunctionKeyRow::setQueueCount(int pending)
{
    m_queue->setText(keyed(QueueKey, guitext::text("Queue (%1)").arg(pending)));
}

} // namespace tillgui
