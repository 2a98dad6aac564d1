#include "outcome.h"

#include "guitext.h"

namespace tillgui {

namespace {

// The plug-in's message keys that say a cancellation or refund is not over yet.
const QString QueuedKey = QStringLiteral("velmorCancelQueued");
const QString UnknownKey = QStringLiteral("velmorOutcomeUnknown");
// The lender's refusal of the buyer.
const QString RejectedKey = QStringLiteral("velmorRejected");

// The exchange did not reach the service or brought nothing usable back: the transport's
// keys and the plug-in's "no useful answer".
bool isNoAnswer(const QString &key)
{
    return key.startsWith(QLatin1String("restClient")) ||
           key == QLatin1String("velmorNoUsefulAnswer");
}

} // namespace

Outcome::Outcome(Operation operation, int amount, const QString &orderId,
                 const PaymentProcessingAnswer &answer, bool cashierCancelled)
    : m_amount(amount), m_orderId(orderId.isEmpty() ? answer.getRRN() : orderId), m_answer(answer)
{
    const QString key = answer.getMessage().key();
    const QString sum = guitext::roubles(amount);
    const bool done = answer.getStatus() == PaymentProcessingAnswer::Success ||
                      answer.getStatus() == PaymentProcessingAnswer::SuccessWithMessage;
    // The message key decides before the status: a queued refund comes with status 0, a
    // queued cancellation with 6 (or 2 at the end of a sale), an unknown outcome with 1.
    if (key == UnknownKey) {
        m_tone = Tone::Pending;
        m_headline = guitext::text("Outcome unknown");
        m_brief = m_headline;
        m_advice = guitext::text("Nobody knows yet whether the money moved: check the order's "
                                 "state before repeating anything");
        return;
    }
    if (key == QueuedKey) {
        m_tone = Tone::Pending;
        switch (operation) {
        case Operation::Sale:
            m_headline = guitext::text(
                "Not paid: the order's cancellation will be sent once the connection is back");
            m_brief = guitext::text("Not paid, cancellation queued");
            m_advice = guitext::text("The payment does not count; if the buyer's money was "
                                     "taken, the cancellation gives it back. Take another payment");
            break;
        case Operation::Refund:
            m_headline =
                guitext::text("Refund of %1 will be carried out once the connection is back")
                    .arg(sum);
            m_brief = guitext::text("Refund queued");
            m_advice = guitext::text("The buyer gets the money once the queue is sent (F5); do "
                                     "not repeat the refund");
            break;
        case Operation::Cancellation:
            m_headline =
                guitext::text("Cancellation of %1 will be carried out once the connection is back")
                    .arg(sum);
            m_brief = guitext::text("Cancellation queued");
            m_advice = guitext::text("The buyer's money goes back once the queue is sent (F5); "
                                     "do not repeat the cancellation");
            break;
        }
        return;
    }
    switch (operation) {
    case Operation::Sale:
        if (done) {
            m_tone = Tone::Done;
            m_brief = guitext::text("Paid");
            m_headline = guitext::text("Paid %1").arg(sum);
            m_advice = guitext::text("The payment is accepted; the receipt is paid");
        } else if (answer.getStatus() == PaymentProcessingAnswer::OrderCanceled) {
            m_tone = cashierCancelled ? Tone::Retry : Tone::Failed;
            m_brief = cashierCancelled ? guitext::text("Cancelled by the cashier")
                                       : guitext::text("Cancelled by the service");
            m_headline = cashierCancelled
                             ? guitext::text("Sale of %1 cancelled by the cashier").arg(sum)
                             : guitext::text("Sale of %1 cancelled by the service").arg(sum);
            m_advice = guitext::text("The buyer's money was not taken");
        } else if (key == RejectedKey) {
            m_tone = Tone::Failed;
            m_brief = guitext::text("Rejected");
            m_headline = m_brief;
            m_advice = guitext::text("The lender refused the buyer; the money was not taken. "
                                     "Offer another way to pay");
        } else {
            m_tone = Tone::Retry;
            m_brief = isNoAnswer(key) ? guitext::text("No answer from the service")
                                      : guitext::text("Payment not made");
            m_headline = m_brief;
            m_advice = guitext::text("The buyer was not refused and the money was not taken. "
                                     "Try again or take another payment");
        }
        break;
    case Operation::Refund:
        m_tone = done ? Tone::Done : isNoAnswer(key) ? Tone::Retry : Tone::Failed;
        m_brief = done ? guitext::text("Refund done") : guitext::text("Refund not made");
        m_headline = done ? guitext::text("Refund of %1 done").arg(sum) : m_brief;
        m_advice = done ? guitext::text("The money goes back to the buyer")
                        : guitext::text("Nothing went back to the buyer");
        break;
    case Operation::Cancellation:
        m_tone = done ? Tone::Done : isNoAnswer(key) ? Tone::Retry : Tone::Failed;
        m_brief = done ? guitext::text("Cancelled") : guitext::text("Cancellation not made");
        m_headline = done ? guitext::text("Payment of %1 cancelled").arg(sum) : m_brief;
        m_advice = done ? guitext::text("The buyer's money goes back")
                        : guitext::text("The payment stands; nothing went back to the buyer");
        break;
    }
}

QString Outcome::title(Operation operation, int amount)
{
    const QString sum = guitext::roubles(amount);
    switch (operation) {
    case Operation::Sale:
        return guitext::text("Payment of %1").arg(sum);
    case Operation::Refund:
        return guitext::text("Refund of %1").arg(sum);
    case Operation::Cancellation:
        break;
    }
    return guitext::text("Cancellation of a payment of %1").arg(sum);
}

QString Outcome::headline() const
{
    return m_headline;
}

QString Outcome::message() const
{
    const tr::Tr &message = m_answer.getMessage();
    // A queued operation's message is the reason and then "the cancellation will be carried
    // out...": the headline already says what will be done (a refund's too, which that wording
    // would call a cancellation), so only the reason is shown beneath it.
    if (message.key() == QueuedKey && !message.args().isEmpty())
        return guitext::of(message.args().first());
    return guitext::of(message);
}

QString Outcome::statusLine() const
{
    const QString line = guitext::text("%1, amount %2").arg(m_brief, guitext::roubles(m_amount));
    return m_orderId.isEmpty() ? line : guitext::text("%1, order %2").arg(line, m_orderId);
}

} // namespace tillgui
