#include "canceldialog.h"

#include "confirmdialog.h"
#include "guitext.h"
#include "orderidfield.h"
#include "roubleamount.h"

#include <velmor/rounding.h>

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace tillgui {

CancelDialog::CancelDialog(const QString &orderId, int amount, qint64 maximum, QWidget *parent)
    : QDialog(parent), m_rrn(new OrderIdField(orderId)),
      m_amount(new QLineEdit(amount > 0 ? velmor::roublesText(amount) : QString())),
      m_notice(new QLabel), m_ok(nullptr), m_maximum(maximum)
{
    setWindowTitle(guitext::text("Cancellation of a payment"));
    m_notice->setWordWrap(true);
    m_notice->setStyleSheet(QStringLiteral("color: #b00020"));
    auto *form = new QFormLayout;
    form->addRow(guitext::text("Reference (RRN):"), m_rrn);
    form->addRow(guitext::text("Amount, roubles:"), m_amount);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setText(guitext::text("Cancel the payment"));
    // Qt's "Cancel" beside "Cancel the payment" would read as the same thing.
    buttons->button(QDialogButtonBox::Cancel)->setText(guitext::text("Back"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CancelDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_notice);
    layout->addStretch();
    layout->addWidget(buttons);
    // The reference is what a cashier checks first; a prepared one only needs Enter.
    m_rrn->setFocus();
    m_rrn->selectAll();
}

namespace {

// The service's order ids are UUIDs; a buyer's code scanned here by mistake is not one.
bool isOrderId(const QString &text)
{
    static const QRegularExpression uuid(QStringLiteral(
        "^[0-9a-fA-F]{8}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{12}$"));
    return uuid.match(text).hasMatch();
}

} // namespace

QString CancelDialog::rrn() const
{
    return m_rrn->orderId();
}

ConfirmDialog *CancelDialog::confirmation() const
{
    return m_confirmation;
}

QString CancelDialog::noticeText() const
{
    return m_notice->text();
}

void CancelDialog::accept()
{
    if (rrn().isEmpty()) {
        m_notice->setText(guitext::text("Type the reference (RRN) of the sale"));
        m_rrn->setFocus();
        return;
    }
    if (!isOrderId(rrn())) {
        m_notice->setText(
            guitext::text("%1 is not an order id: type or paste the order of the sale").arg(rrn()));
        m_rrn->setFocus();
        m_rrn->selectAll();
        return;
    }
    const Result<int> typed = RoubleAmount::parse(m_amount->text());
    if (!typed) {
        m_notice->setText(typed.error());
        m_amount->setFocus();
        return;
    }
    const int amount = typed.value();
    if (m_maximum >= 0 && amount > m_maximum) {
        m_notice->setText(guitext::text("The amount %1 is more than the receipt's total %2")
                              .arg(guitext::roubles(amount), guitext::roubles(m_maximum)));
        m_amount->setFocus();
        return;
    }
    m_notice->clear();
    confirm(amount);
}

void CancelDialog::confirm(int amount)
{
    if (m_confirmation)
        return;
    const QString warning =
        m_queuedCheck && m_queuedCheck(rrn())
            ? guitext::text("A cancellation of this order already waits in the queue")
            : QString();
    m_confirmation = new ConfirmDialog(
        guitext::text("Confirm the cancellation"),
        guitext::text("Cancel the payment of %1 for order %2: the buyer's money goes back")
            .arg(guitext::roubles(amount), rrn()),
        warning, guitext::text("Cancel the payment"), this);
    m_confirmation->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_confirmation, &QDialog::accepted, this, [this, amount] {
        m_accepted = amount;
        QDialog::accept();
    });
    connect(m_confirmation, &QDialog::rejected, this, [this] {
        // Without a window manager nobody hands the keys back to this dialog.
        activateWindow();
        m_rrn->setFocus();
    });
    m_confirmation->open();
    // Without a window manager nobody else gives it the keys, F9 included.
    m_confirmation->activateWindow();
}

} // namespace tillgui
