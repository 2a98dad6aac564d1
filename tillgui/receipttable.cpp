#include "receipttable.h"

#include "guitext.h"

#include <velmor/rounding.h>

#include <QHeaderView>

namespace tillgui {

ReceiptTable::ReceiptTable(QWidget *parent) : QTableWidget(0, 6, parent)
{
    setHorizontalHeaderLabels({guitext::text("No."), guitext::text("Article"),
                               guitext::text("Name"), guitext::text("Quantity"),
                               guitext::text("Returned"), guitext::text("Sum")});
    verticalHeader()->hide();
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::NoSelection);
    // The receipt is only read here: Tab passes it by instead of walking its cells.
    setFocusPolicy(Qt::NoFocus);
    setTabKeyNavigation(false);
}

void ReceiptTable::showReceipt(const QSharedPointer<Document> &receipt)
{
    const auto items = receipt ? receipt->getGoodsItems() : decltype(receipt->getGoodsItems()){};
    setRowCount(items.size());
    for (int row = 0; row < items.size(); ++row) {
        const auto &item = items.at(row);
        const QStringList cells = {QString::number(item->getPosnum()),
                                   item->getArticul(),
                                   item->getName(),
                                   QString::number(item->getQuantity()),
                                   QString::number(item->getBquant()),
                                   velmor::roublesText(velmor::kopecksOf(item->getSumb()))};
        for (int column = 0; column < cells.size(); ++column) {
            auto *cell = new QTableWidgetItem(cells.at(column));
            if (column >= 3)
                cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            setItem(row, column, cell);
        }
    }
    resizeColumnsToContents();
    horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
}

} // namespace tillgui
