#include "amountfield.h"

#include <QRegularExpression>
#include <QTimer>

namespace tillgui {

AmountField::AmountField(QWidget *parent) : QLineEdit(parent), m_codeKeys(new QTimer(this))
{
    setMaximumWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 16);
    m_codeKeys->setSingleShot(true);
    // Longer than the pause between a scanner's keys, shorter than a cashier's reaction.
    m_codeKeys->setInterval(300);
    connect(m_codeKeys, &QTimer::timeout, this, [this] { m_codeInAmount = false; });
    connect(this, &QLineEdit::returnPressed, this, &AmountField::onReturn);
    connect(this, &QLineEdit::textEdited, this, &AmountField::onEdited);
}

void AmountField::showAmount(const QString &amount)
{
    setText(amount);
    selectAll();
    m_amountKept = text();
}

void AmountField::onEdited(const QString &text)
{
    static const QRegularExpression amountKeys(QStringLiteral("^[0-9 .,]*$"));
    if (!m_codeInAmount && amountKeys.match(text).hasMatch()) {
        m_amountKept = text;
        emit amountTyped();
        return;
    }
    // A key no amount has: a code is being scanned.
    m_codeInAmount = true;
    m_codeKeys->start();
    setText(m_amountKept);
}

void AmountField::onReturn()
{
    if (!m_codeInAmount) {
        emit amountEntered();
        return;
    }
    m_codeInAmount = false;
    m_codeKeys->stop();
    setText(m_amountKept);
    selectAll();
    emit codeEntered();
}

} // namespace tillgui
