#include "refunddialog.h"

#include "guitext.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

RefundDialog::RefundDialog(const QSharedPointer<Document> &receipt, QWidget *parent)
    : QDialog(parent), m_receipt(receipt), m_rrn(new QLineEdit), m_amount(new QLabel)
{
    setWindowTitle(guitext::text("Refund of a sale"));
    auto *form = new QFormLayout;
    form->addRow(guitext::text("Reference (RRN):"), m_rrn);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);

    if (m_receipt) {
        const auto items = m_receipt->getGoodsItems();
        auto *table = new QTableWidget(items.size(), 4);
        table->setHorizontalHeaderLabels({guitext::text("No."), guitext::text("Name"),
                                          guitext::text("Quantity"), guitext::text("Returned")});
        table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
        table->verticalHeader()->hide();
        for (int row = 0; row < items.size(); ++row) {
            const auto &item = items.at(row);
            table->setItem(row, 0, new QTableWidgetItem(QString::number(item->getPosnum())));
            table->setItem(row, 1, new QTableWidgetItem(item->getName()));
            table->setItem(row, 2, new QTableWidgetItem(QString::number(item->getQuantity())));
            auto *returned = new QDoubleSpinBox;
            returned->setDecimals(3);
            returned->setRange(0, item->getQuantity());
            returned->setValue(item->getBquant() > 0 ? item->getBquant() : item->getQuantity());
            connect(returned, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
                    &RefundDialog::updateAmount);
            table->setCellWidget(row, 3, returned);
            m_returned.append(returned);
        }
        layout->addWidget(table);
        layout->addWidget(m_amount);
    }

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(guitext::text("Refund"));
    buttons->button(QDialogButtonBox::Cancel)->setText(guitext::text("Cancel"));
    buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
    connect(m_rrn, &QLineEdit::textChanged, this, [this, buttons] {
        buttons->button(QDialogButtonBox::Ok)->setEnabled(!rrn().isEmpty());
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    updateAmount();
}

QString RefundDialog::rrn() const
{
    return m_rrn->text().trimmed();
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
    const QSharedPointer<Document> refund = refundReceipt();
    return refund ? int(std::lround(refund->getTotalSum() * 100)) : 0;
}

void RefundDialog::updateAmount()
{
    m_amount->setText(
        guitext::text("Amount to return: %1").arg(QString::number(amount() / 100.0, 'f', 2)));
}
