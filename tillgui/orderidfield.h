#pragma once

#include <QLineEdit>

namespace tillgui {

// The field a cashier types or scans an order's reference (RRN) into. The plug-in's order ids
// are UUIDs; the field is wide enough to show a whole one, so that the cashier can read back
// what will be sent.
class OrderIdField : public QLineEdit
{
    Q_OBJECT

public:
    explicit OrderIdField(const QString &text = QString(), QWidget *parent = nullptr);

    // The reference without surrounding spaces.
    QString orderId() const;
};

} // namespace tillgui
