#include "outcome.h"

#include "guitext.h"

#include <velmor/rounding.h>

namespace tillgui {

namespace {

// The plug-in's message keys that say a cancellation or refund is not over yet.
const QString QueuedKey = QStringLiteral("velmorCancelQueued");
const QString UnknownKey = QStringLiteral("velmorOutcomeUnknown");

} // namespace

Outcome::Outcome(Operation operation, int amount, const QString &orderId,
                 const PaymentProcessingAnswer &answer)
    : m_amount(amount), m_orderId(orderId.isEmpty() ? answer.getRRN() : orderId), m_answer(answer)
{
    const QString key = answer.getMessage().key();
    const QString sum = velmor::roublesText(amount);
    const bool done = answer.getStatus() == PaymentProcessingAnswer::Success ||
                      answer.getStatus() == PaymentProcessingAnswer::SuccessWithMessage;
    // The message key decides before the status: a queued refund comes with status 0, a
    // queued cancellation with 6 (or 2 at the end of a sale), an unknown outcome with 1.
    if (key == UnknownKey) {
        m_tone = Tone::Pending;
        m_headline = guitext::text("Outcome unknown");
        m_brief = m_headline;
        return;
    }
    if (key == QueuedKey) {
        m_tone = Tone::Pending;
        if (operation == Operation::Refund) {
            m_headline =
                guitext::text("Refund of %1 will be carried out once the connection is back")
                    .arg(sum);
            m_brief = guitext::text("Refund queued");
        } else {
            m_headline =
                guitext::text("The cancellation will be carried out once the connection is back");
            m_brief = guitext::text("Cancellation queued");
        }
        return;
    }
    switch (operation) {
    case Operation::Sale:
        m_tone = done ? Tone::Done : Tone::Failed;
        m_brief = done ? guitext::text("Paid")
                  : answer.getStatus() == PaymentProcessingAnswer::OrderCanceled
                      ? guitext::text("Cancelled")
                      : guitext::text("Rejected");
        m_headline = done ? guitext::text("Paid %1").arg(sum) : m_brief;
        break;
    case Operation::Refund:
        m_tone = done ? Tone::Done : Tone::Failed;
        m_brief = done ? guitext::text("Refund done") : guitext::text("Refund not made");
        m_headline = done ? guitext::text("Refund of %1 done").arg(sum) : m_brief;
        break;
    case Operation::Cancellation:
        m_tone = done ? Tone::Done : Tone::Failed;
        m_brief = done ? guitext::text("Cancelled") : guitext::text("Cancellation not made");
        m_headline = m_brief;
        break;
    }
}

QString Outcome::title(Operation operation, int amount)
{
    const QString sum = velmor::roublesText(amount);
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
    return guitext::of(m_answer.getMessage());
}

QString Outcome::statusLine() const
{
    const QString line = guitext::text("%1, amount %2").arg(m_brief, velmor::roublesText(m_amount));
    return m_orderId.isEmpty() ? line : guitext::text("%1, order %2").arg(line, m_orderId);
}

} // namespace tillgui
