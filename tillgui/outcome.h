#pragma once

#include <paymentprocessinganswer.h>

#include <QString>

namespace tillgui {

// What became of one operation, in the cashier's words: "Оплачено 2000.00", "Отклонено",
// "Возврат 500.00 выполнен", with a tone that colours it. A cancellation or refund the plug-in
// keeps in the queue, and one whose outcome it could not learn, are neither done nor failed:
// they are pending, so that the cashier neither counts them done nor repeats them.
class Outcome
{
public:
    enum class Operation { Sale, Refund, Cancellation };
    enum class Tone { Done, Pending, Failed };

    // `amount` in kopecks; `orderId` the order the operation is about when the till knows it
    // beforehand (a refund's or a cancellation's reference), empty for a sale.
    Outcome(Operation operation, int amount, const QString &orderId,
            const PaymentProcessingAnswer &answer);

    // What runs, for the progress display: "Оплата 2000.00".
    static QString title(Operation operation, int amount);

    QString headline() const;
    Tone tone() const { return m_tone; }
    // The plug-in's message in the screen's language.
    QString message() const;
    // The order the operation was about; for a sale, the order the plug-in created.
    QString orderId() const { return m_orderId; }
    // The reference the plug-in handed back (a refund's is the refund's own).
    QString reference() const { return m_answer.getRRN(); }
    // One plain line for the window's status bar: outcome, amount and order, short enough
    // for the narrowest window ("Оплачено, сумма 2000.00, заказ ...").
    QString statusLine() const;

private:
    int m_amount;
    QString m_orderId;
    PaymentProcessingAnswer m_answer;
    Tone m_tone = Tone::Failed;
    QString m_headline;
    // The outcome in a word or two, for the status line.
    QString m_brief;
};

} // namespace tillgui
