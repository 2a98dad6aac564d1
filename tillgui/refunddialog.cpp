#include "refunddialog.h"

#include "confirmdialog.h"
#include "guitext.h"
#include "orderidfield.h"
#include "roubleamount.h"

#include <velmor/rounding.h>

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tillgui {

namespace {

enum Column { Number, Name, Quantity, Sum, Returned, Columns };

// A quantity as bought: "1" for a whole one, "0.250" for a weighed one.
int decimalsOf(double quantity)
{
    return qFuzzyCompare(quantity + 1.0, double(qRound64(quantity)) + 1.0) ? 0 : 3;
}

QString quantityText(double quantity)
{
    return QString::number(quantity, 'f', decimalsOf(quantity));
}

QTableWidgetItem *numberCell(const QString &text)
{
    auto *cell = new QTableWidgetItem(text);
    cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return cell;
}

} // namespace

RefundDialog::RefundDialog(const QSharedPointer<Document> &receipt, const QString &orderId,
                           QWidget *parent)
    : QDialog(parent), m_receipt(receipt), m_rrn(new OrderIdField(orderId)), m_amount(new QLabel),
      m_notice(new QLabel)
{
    setWindowTitle(guitext::text("Refund of a sale"));
    m_notice->setWordWrap(true);
    m_notice->setStyleSheet(QStringLiteral("color: #b00020"));
    auto *form = new QFormLayout;
    form->addRow(guitext::text("Reference (RRN):"), m_rrn);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);

    if (m_receipt) {
        const auto items = m_receipt->getGoodsItems();
        m_table = new QTableWidget(items.size(), Columns);
        m_table->setHorizontalHeaderLabels({guitext::text("No."), guitext::text("Name"),
                                            guitext::text("Quantity"), guitext::text("Sum"),
                                            guitext::text("To return")});
        m_table->verticalHeader()->hide();
        m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_table->setSelectionMode(QAbstractItemView::NoSelection);
        // Tab goes from one returned quantity to the next and on to the buttons, not cell
        // by cell through the table.
        m_table->setTabKeyNavigation(false);
        m_table->setFocusPolicy(Qt::NoFocus);
        // The name takes what the numbers leave, eliding a long one: the quantities are
        // what the cashier edits and are never pushed out of sight.
        m_table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_table->setWordWrap(false);
        for (int row = 0; row < items.size(); ++row) {
            const auto &item = items.at(row);
            m_table->setItem(row, Number, numberCell(QString::number(item->getPosnum())));
            m_table->setItem(row, Name, new QTableWidgetItem(item->getName()));
            m_table->setItem(row, Quantity, numberCell(quantityText(item->getQuantity())));
            m_table->setItem(row, Sum,
                             numberCell(velmor::roublesText(velmor::kopecksOf(item->getSumb()))));
            auto *returned = new QDoubleSpinBox;
            returned->setDecimals(decimalsOf(item->getQuantity()));
            returned->setRange(0, item->getQuantity());
            returned->setValue(item->getBquant() > 0 ? item->getBquant() : item->getQuantity());
            returned->setAlignment(Qt::AlignRight);
            connect(returned, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
                    &RefundDialog::updateAmount);
            m_table->setCellWidget(row, Returned, returned);
            m_returned.append(returned);
        }
        QHeaderView *header = m_table->horizontalHeader();
        for (int column : {Number, Quantity, Sum, Returned})
            header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
        header->setSectionResizeMode(Name, QHeaderView::Stretch);
        layout->addWidget(m_table);
        layout->addWidget(m_amount);
    } else {
        m_typedAmount = new QLineEdit;
        form->addRow(guitext::text("Amount, roubles:"), m_typedAmount);
        layout->addStretch();
    }
    layout->addWidget(m_notice);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(guitext::text("Refund"));
    // One word for backing out on every dialog of the screen.
    buttons->button(QDialogButtonBox::Cancel)->setText(guitext::text("Back"));
    connect(buttons, &QDialogButtonBox::accepted, this, &RefundDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    // Within the till window's smallest size (800 x 600), and so within its screen.
    resize(760, m_receipt ? 520 : sizeHint().height());
    m_rrn->setFocus();
    m_rrn->selectAll();
    updateAmount();
}

QString RefundDialog::rrn() const
{
    return m_rrn->orderId();
}

QSharedPointer<Document> RefundDialog::refundReceipt() const
{
    if (!m_receipt)
        return {};
    auto refund = QSharedPointer<Document>::create();
    const auto items = m_receipt->getGoodsItems();
    double total = 0.0;
    for (int row = 0; row < items.size(); ++row) {
        const double returned = m_returned.at(row)->value();
        if (returned <= 0)
            continue;
        auto item = QSharedPointer<TGoodsItem>::create(*items.at(row));
        item->setBquant(returned);
        refund->addGoodsItem(item);
        total += item->getQuantity() > 0 ? item->getSumb() * returned / item->getQuantity() : 0.0;
    }
    refund->setTotalSum(total);
    return refund;
}

int RefundDialog::amount() const
{
    if (m_typedAmount) {
        const Result<int> typed = RoubleAmount::parse(m_typedAmount->text());
        return typed ? typed.value() : 0;
    }
    const QSharedPointer<Document> refund = refundReceipt();
    return refund ? int(velmor::kopecksOf(refund->getTotalSum())) : 0;
}

ConfirmDialog *RefundDialog::confirmation() const
{
    return m_confirmation;
}

QString RefundDialog::noticeText() const
{
    return m_notice->text();
}

void RefundDialog::accept()
{
    if (rrn().isEmpty()) {
        m_notice->setText(guitext::text("Type the reference (RRN) of the sale"));
        m_rrn->setFocus();
        return;
    }
    if (m_typedAmount) {
        const Result<int> typed = RoubleAmount::parse(m_typedAmount->text());
        if (!typed) {
            m_notice->setText(typed.error());
            m_typedAmount->setFocus();
            return;
        }
    } else if (amount() <= 0) {
        // An empty refund receipt would leave the plug-in nothing to return.
        m_notice->setText(guitext::text("Choose at least one position to return"));
        return;
    }
    m_notice->clear();
    confirm();
}

void RefundDialog::confirm()
{
    if (m_confirmation)
        return;
    const int sum = amount();
    QStringList lines{
        guitext::text("Return %1 to the buyer for order %2").arg(guitext::roubles(sum), rrn())};
    if (const QSharedPointer<Document> refund = refundReceipt()) {
        for (const auto &item : refund->getGoodsItems()) {
            const double share =
                item->getQuantity() > 0 ? item->getBquant() / item->getQuantity() : 0.0;
            lines.append(QStringLiteral("%1  \u00d7 %2   %3")
                             .arg(item->getName(), quantityText(item->getBquant()),
                                  guitext::roubles(velmor::kopecksOf(item->getSumb() * share))));
        }
    }
    const QString warning =
        m_queuedCheck && m_queuedCheck(rrn(), sum)
            ? guitext::text("A refund of %1 for this order already waits in the queue: "
                            "confirming queues the same refund a second time")
                  .arg(guitext::roubles(sum))
            : QString();
    m_confirmation =
        new ConfirmDialog(guitext::text("Confirm the refund"), lines.join(QLatin1Char('\n')),
                          warning, guitext::text("Return %1").arg(guitext::roubles(sum)), this);
    m_confirmation->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_confirmation, &QDialog::accepted, this, [this] { QDialog::accept(); });
    connect(m_confirmation, &QDialog::rejected, this, [this] {
        // Without a window manager nobody hands the keys back to this dialog.
        activateWindow();
        m_rrn->setFocus();
    });
    m_confirmation->open();
    // Without a window manager nobody else gives it the keys, F9 included.
    m_confirmation->activateWindow();
}

void RefundDialog::updateAmount()
{
    m_amount->setText(guitext::text("Amount to return: %1").arg(guitext::roubles(amount())));
}

} // namespace tillgui
