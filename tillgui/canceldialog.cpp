#include "canceldialog.h"

#include "guitext.h"
#include "orderidfield.h"
#include "roubleamount.h"

#include <velmor/rounding.h>

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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

QString CancelDialog::rrn() const
{
    return m_rrn->orderId();
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
    int amount = 0;
    QString error;
    if (!RoubleAmount::parse(m_amount->text(), &amount, &error)) {
        m_notice->setText(error);
        m_amount->setFocus();
        return;
    }
    if (m_maximum >= 0 && amount > m_maximum) {
        m_notice->setText(guitext::text("The amount %1 is more than the receipt's total %2")
                              .arg(velmor::roublesText(amount), velmor::roublesText(m_maximum)));
        m_amount->setFocus();
        return;
    }
    m_accepted = amount;
    QDialog::accept();
}

} // namespace tillgui
