#pragma once

#include <document.h>

#include <QSharedPointer>
#include <QTableWidget>

namespace tillgui {

// The current receipt's positions as the main window shows them: number, article, name,
// quantity, quantity returned and sum, read only. Tab passes it by.
class ReceiptTable : public QTableWidget
{
    Q_OBJECT

public:
    explicit ReceiptTable(QWidget *parent = nullptr);

    // Shows the positions of `receipt`; none when it is null.
    void showReceipt(const QSharedPointer<Document> &receipt);
};

} // namespace tillgui
