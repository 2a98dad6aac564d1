#pragma once

#include <paymentprocessinganswer.h>

#include <QString>

namespace tillgui {

// What became of one operation, in the cashier's words: "Оплачено 2000.00 руб.", "Отклонено",
// "Возврат 500.00 руб. выполнен", with a tone that colours it and a line of advice: what
// happened to the buyer's money and what to do next. A cancellation or refund the plug-in
// keeps in the queue, and one whose outcome it could not learn, are neither done nor failed:
// they are pending, so that the cashier neither counts them done nor repeats them. A buyer the
// lender refused (failed) is told apart from a service that could not be reached or an
// operation the cashier cancelled (retry: nobody refused anybody, it may be tried again).
class Outcome
{
public:
    enum class Operation { Sale, Refund, Cancellation };
    enum class Tone { Done, Pending, Failed, Retry };

    // `amount` in kopecks; `orderId` the order the operation is about when the till knows it
    // beforehand (a refund's or a cancellation's reference), empty for a sale.
    // `cashierCancelled`: the cashier pressed Cancel while the operation ran.
    Outcome(Operation operation, int amount, const QString &orderId,
            const PaymentProcessingAnswer &answer, bool cashierCancelled = false);

    // What runs, for the progress display and the scan dialog: "Оплата 2000.00 руб.".
    static QString title(Operation operation, int amount);

    QString headline() const;
    Tone tone() const { return m_tone; }
    // What became of the buyer's money and what the cashier does next.
    QString advice() const { return m_advice; }
    // The plug-in's message in the screen's language; for a queued operation, why it was
    // queued.
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
    QString m_advice;
    // The outcome in a word or two, for the status line.
    QString m_brief;
};

} // namespace tillgui
