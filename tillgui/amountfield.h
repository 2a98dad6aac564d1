#pragma once

#include <QLineEdit>

class QTimer;

namespace tillgui {

// The main window's amount in roubles. A scanner's keys that land in it (a code scanned before
// F2) leave the amount as it was: a key no amount has marks a code, whose keys, digits
// included, go nowhere until Enter or a pause ends it.
class AmountField : public QLineEdit
{
    Q_OBJECT

public:
    explicit AmountField(QWidget *parent = nullptr);

    // Shows `amount`, selected, as the amount a code's keys leave standing.
    void showAmount(const QString &amount);

signals:
    // The cashier typed an amount's keys.
    void amountTyped();
    // Enter on the amount.
    void amountEntered();
    // Enter ended a code's keys; the amount is as it was before them.
    void codeEntered();

private:
    void onEdited(const QString &text);
    void onReturn();

    // The amount as it stood before a code's keys arrived, and whether they are arriving.
    QString m_amountKept;
    bool m_codeInAmount = false;
    QTimer *m_codeKeys;
};

} // namespace tillgui
