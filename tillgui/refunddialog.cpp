#include "refunddialog.h"

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

QTableWidgetItem *numberCell(const QString &text)
{
    auto *cell = new QTableWidgetItem(text);
    cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return cell;
}

} // namespace

RefundDialog::RefundDialog(const QSharedPointer<Document> &receipt, QWidget *parent)
    : QDialog(parent), m_receipt(receipt), m_rrn(new OrderIdField), m_amount(new QLabel),
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
            m_table->setItem(row, Quantity, numberCell(QString::number(item->getQuantity())));
            m_table->setItem(row, Sum,
                             numberCell(velmor::roublesText(velmor::kopecksOf(item->getSumb()))));
            auto *returned = new QDoubleSpinBox;
            returned->setDecimals(3);
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
    connect(buttons, &QDialogButtonBox::accepted, this, &RefundDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    // Within the till window's smallest size (800 x 600), and so within its screen.
    resize(760, m_receipt ? 520 : sizeHint().height());
    m_rrn->setFocus();
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
        int typed = 0;
        QString error;
        return RoubleAmount::parse(m_typedAmount->text(), &typed, &error) ? typed : 0;
    }
    const QSharedPointer<Document> refund = refundReceipt();
    return refund ? int(velmor::kopecksOf(refund->getTotalSum())) : 0;
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
        int typed = 0;
        QString error;
        if (!RoubleAmount::parse(m_typedAmount->text(), &typed, &error)) {
            m_notice->setText(error);
            m_typedAmount->setFocus();
            return;
        }
    } else if (amount() <= 0) {
        // An empty refund receipt would leave the plug-in nothing to return.
        m_notice->setText(guitext::text("Choose at least one position to return"));
        return;
    }
    QDialog::accept();
}

void RefundDialog::updateAmount()
{
    m_amount->setText(guitext::text("Amount to return: %1").arg(velmor::roublesText(amount())));
}

} // namespace tillgui
