<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<!-- The cashier's screen (till-gui): its own texts by context "tillgui", the source the
     English text the code passes to guitext::text(). lrelease without -idbased. -->
<context>
    <name>tillgui</name>
    <message>
        <source>Till</source>
        <translation>Till</translation>
    </message>
    <message>
        <source>No.</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>Article</source>
        <translation>Article</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Quantity</source>
        <translation>Quantity</translation>
    </message>
    <message>
        <source>Returned</source>
        <translation>Returned</translation>
    </message>
    <message>
        <source>To return</source>
        <translation>To return</translation>
    </message>
    <message>
        <source>Sum</source>
        <translation>Sum</translation>
    </message>
    <message>
        <source>Total %1, prepaid %2, to pay %3</source>
        <translation>Total %1, prepaid %2, to pay %3</translation>
    </message>
    <message>
        <source>No current receipt</source>
        <translation>No current receipt</translation>
    </message>
    <message>
        <source>Amount, roubles:</source>
        <translation>Amount, roubles:</translation>
    </message>
    <message>
        <source>Type the amount in roubles, for example 1500.00</source>
        <translation>Type the amount in roubles, for example 1500.00</translation>
    </message>
    <message>
        <source>The amount is too large</source>
        <translation>The amount is too large</translation>
    </message>
    <message>
        <source>The amount must be more than zero</source>
        <translation>The amount must be more than zero</translation>
    </message>
    <message>
        <source>The amount %1 is more than the %2 left to pay on the receipt</source>
        <translation>The amount %1 is more than the %2 left to pay on the receipt</translation>
    </message>
    <message>
        <source>The amount %1 is more than the receipt's total %2</source>
        <translation>The amount %1 is more than the receipt's total %2</translation>
    </message>
    <message>
        <source>Sale</source>
        <translation>Sale</translation>
    </message>
    <message>
        <source>Refund</source>
        <translation>Refund</translation>
    </message>
    <message>
        <source>Cancel payment</source>
        <translation>Cancel payment</translation>
    </message>
    <message>
        <source>Queue (%1)</source>
        <translation>Queue (%1)</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>Code:</source>
        <translation>Code:</translation>
    </message>
    <message>
        <source>Cancelling the order...</source>
        <translation>Cancelling the order...</translation>
    </message>
    <message>
        <source>The cancellation is accepted; the sale ends at the next status request</source>
        <translation>The cancellation is accepted; the sale ends at the next status request</translation>
    </message>
    <message>
        <source>The cancellation was not confirmed; press Cancel to try again</source>
        <translation>The cancellation was not confirmed; press Cancel to try again</translation>
    </message>
    <message>
        <source>Paid %1</source>
        <translation>Paid %1</translation>
    </message>
    <message>
        <source>Rejected</source>
        <translation>Rejected</translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation>Cancelled</translation>
    </message>
    <message>
        <source>Refund of %1 done</source>
        <translation>Refund of %1 done</translation>
    </message>
    <message>
        <source>Refund not made</source>
        <translation>Refund not made</translation>
    </message>
    <message>
        <source>Cancellation not made</source>
        <translation>Cancellation not made</translation>
    </message>
    <message>
        <source>Refund of %1 will be carried out once the connection is back</source>
        <translation>Refund of %1 will be carried out once the connection is back</translation>
    </message>
    <message>
        <source>Paid</source>
        <translation>Paid</translation>
    </message>
    <message>
        <source>Refund done</source>
        <translation>Refund done</translation>
    </message>
    <message>
        <source>Refund queued</source>
        <translation>Refund queued</translation>
    </message>
    <message>
        <source>Cancellation queued</source>
        <translation>Cancellation queued</translation>
    </message>
    <message>
        <source>Outcome unknown</source>
        <translation>Outcome unknown</translation>
    </message>
    <message>
        <source>Payment of %1</source>
        <translation>Payment of %1</translation>
    </message>
    <message>
        <source>Refund of %1</source>
        <translation>Refund of %1</translation>
    </message>
    <message>
        <source>Cancellation of a payment of %1</source>
        <translation>Cancellation of a payment of %1</translation>
    </message>
    <message>
        <source>Order %1</source>
        <translation>Order %1</translation>
    </message>
    <message>
        <source>%1, amount %2</source>
        <translation>%1, amount %2</translation>
    </message>
    <message>
        <source>%1, order %2</source>
        <translation>%1, order %2</translation>
    </message>
    <message>
        <source>Reference (RRN):</source>
        <translation>Reference (RRN):</translation>
    </message>
    <message>
        <source>Refund of a sale</source>
        <translation>Refund of a sale</translation>
    </message>
    <message>
        <source>Cancellation of a payment</source>
        <translation>Cancellation of a payment</translation>
    </message>
    <message>
        <source>Amount to return: %1</source>
        <translation>Amount to return: %1</translation>
    </message>
    <message>
        <source>Choose at least one position to return</source>
        <translation>Choose at least one position to return</translation>
    </message>
    <message>
        <source>Type the reference (RRN) of the sale</source>
        <translation>Type the reference (RRN) of the sale</translation>
    </message>
    <message>
        <source>Cancel the payment</source>
        <translation>Cancel the payment</translation>
    </message>
    <message>
        <source>Queued messages</source>
        <translation>Queued messages</translation>
    </message>
    <message>
        <source>Added</source>
        <translation>Added</translation>
    </message>
    <message>
        <source>Attempts</source>
        <translation>Attempts</translation>
    </message>
    <message>
        <source>Order</source>
        <translation>Order</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>Replay</source>
        <translation>Replay</translation>
    </message>
    <message>
        <source>The queue cannot be read: %1</source>
        <translation>The queue cannot be read: %1</translation>
    </message>
    <message>
        <source>Another operation is running</source>
        <translation>Another operation is running</translation>
    </message>
    <message>
        <source>Waiting for the sale to end before closing</source>
        <translation>Waiting for the sale to end before closing</translation>
    </message>
    <message>
        <source>Answer</source>
        <translation>Answer</translation>
    </message>
    <message>
        <source>%1 is not an order id: type or paste the order of the sale</source>
        <translation>%1 is not an order id: type or paste the order of the sale</translation>
    </message>
    <message>
        <source>%1 roubles</source>
        <translation>%1 roubles</translation>
    </message>
    <message>
        <source>%1, order %2: %3</source>
        <translation>%1, order %2: %3</translation>
    </message>
    <message>
        <source>, %1 stay in the queue</source>
        <translation>, %1 stay in the queue</translation>
    </message>
    <message>
        <source>... and %1 more</source>
        <translation>... and %1 more</translation>
    </message>
    <message>
        <source>A cancellation of this order already waits in the queue</source>
        <translation>A cancellation of this order already waits in the queue</translation>
    </message>
    <message>
        <source>A refund of %1 for this order already waits in the queue: confirming queues the same refund a second time</source>
        <translation>A refund of %1 for this order already waits in the queue: confirming queues the same refund a second time</translation>
    </message>
    <message>
        <source>Cancel the payment of %1 for order %2: the buyer's money goes back</source>
        <translation>Cancel the payment of %1 for order %2: the buyer's money goes back</translation>
    </message>
    <message>
        <source>Cancellation</source>
        <translation>Cancellation</translation>
    </message>
    <message>
        <source>Cancellation of %1 will be carried out once the connection is back</source>
        <translation>Cancellation of %1 will be carried out once the connection is back</translation>
    </message>
    <message>
        <source>Cancelled by the cashier</source>
        <translation>Cancelled by the cashier</translation>
    </message>
    <message>
        <source>Cancelled by the service</source>
        <translation>Cancelled by the service</translation>
    </message>
    <message>
        <source>Confirm the cancellation</source>
        <translation>Confirm the cancellation</translation>
    </message>
    <message>
        <source>Confirm the refund</source>
        <translation>Confirm the refund</translation>
    </message>
    <message>
        <source>No answer from the service</source>
        <translation>No answer from the service</translation>
    </message>
    <message>
        <source>Nobody knows yet whether the money moved: check the order's state before repeating anything</source>
        <translation>Nobody knows yet whether the money moved: check the order's state before repeating anything</translation>
    </message>
    <message>
        <source>Not paid, cancellation queued</source>
        <translation>Not paid, cancellation queued</translation>
    </message>
    <message>
        <source>Not paid: the order's cancellation will be sent once the connection is back</source>
        <translation>Not paid: the order's cancellation will be sent once the connection is back</translation>
    </message>
    <message>
        <source>Nothing went back to the buyer</source>
        <translation>Nothing went back to the buyer</translation>
    </message>
    <message>
        <source>Payment not made</source>
        <translation>Payment not made</translation>
    </message>
    <message>
        <source>Payment of %1 cancelled</source>
        <translation>Payment of %1 cancelled</translation>
    </message>
    <message>
        <source>Press %1 to confirm, Enter or Escape to go back</source>
        <translation>Press %1 to confirm, Enter or Escape to go back</translation>
    </message>
    <message>
        <source>Queue: %1 of %2 messages finished</source>
        <translation>Queue: %1 of %2 messages finished</translation>
    </message>
    <message>
        <source>Queue: nothing went through, %1 messages stay in the queue until the service answers</source>
        <translation>Queue: nothing went through, %1 messages stay in the queue until the service answers</translation>
    </message>
    <message>
        <source>Return %1</source>
        <translation>Return %1</translation>
    </message>
    <message>
        <source>Return %1 to the buyer for order %2</source>
        <translation>Return %1 to the buyer for order %2</translation>
    </message>
    <message>
        <source>Sale of %1 cancelled by the cashier</source>
        <translation>Sale of %1 cancelled by the cashier</translation>
    </message>
    <message>
        <source>Sale of %1 cancelled by the service</source>
        <translation>Sale of %1 cancelled by the service</translation>
    </message>
    <message>
        <source>Sending the queue to the service...</source>
        <translation>Sending the queue to the service...</translation>
    </message>
    <message>
        <source>The buyer gets the money once the queue is sent (F5); do not repeat the refund</source>
        <translation>The buyer gets the money once the queue is sent (F5); do not repeat the refund</translation>
    </message>
    <message>
        <source>The buyer was not refused and the money was not taken. Try again or take another payment</source>
        <translation>The buyer was not refused and the money was not taken. Try again or take another payment</translation>
    </message>
    <message>
        <source>The buyer's money goes back</source>
        <translation>The buyer's money goes back</translation>
    </message>
    <message>
        <source>The buyer's money goes back once the queue is sent (F5); do not repeat the cancellation</source>
        <translation>The buyer's money goes back once the queue is sent (F5); do not repeat the cancellation</translation>
    </message>
    <message>
        <source>The buyer's money was not taken</source>
        <translation>The buyer's money was not taken</translation>
    </message>
    <message>
        <source>The lender refused the buyer; the money was not taken. Offer another way to pay</source>
        <translation>The lender refused the buyer; the money was not taken. Offer another way to pay</translation>
    </message>
    <message>
        <source>The money goes back to the buyer</source>
        <translation>The money goes back to the buyer</translation>
    </message>
    <message>
        <source>The payment does not count; if the buyer's money was taken, the cancellation gives it back. Take another payment</source>
        <translation>The payment does not count; if the buyer's money was taken, the cancellation gives it back. Take another payment</translation>
    </message>
    <message>
        <source>The payment is accepted; the receipt is paid</source>
        <translation>The payment is accepted; the receipt is paid</translation>
    </message>
    <message>
        <source>The payment stands; nothing went back to the buyer</source>
        <translation>The payment stands; nothing went back to the buyer</translation>
    </message>
    <message>
        <source>The receipt is paid: nothing is left to pay</source>
        <translation>The receipt is paid: nothing is left to pay</translation>
    </message>
    <message>
        <source>Total %1, prepaid %2, paid here %3, to pay %4</source>
        <translation>Total %1, prepaid %2, paid here %3, to pay %4</translation>
    </message>
    <message>
        <source>left the queue; the order now: %1, refunded %2</source>
        <translation>left the queue; the order now: %1, refunded %2</translation>
    </message>
    <message>
        <source>left the queue; the order's state could not be read: %1</source>
        <translation>left the queue; the order's state could not be read: %1</translation>
    </message>
    <message>
        <source>not sent, stays in the queue</source>
        <translation>not sent, stays in the queue</translation>
    </message>
    <message>
        <source>sent, but the queue could not record it</source>
        <translation>sent, but the queue could not record it</translation>
    </message>
    <message>
        <source>Order state: not reported yet; do not tell the buyer it is approved yet</source>
        <translation>Order state: not reported yet; do not tell the buyer it is approved yet</translation>
    </message>
    <message>
        <source>Do not tell the buyer it is approved yet: the lender has not decided</source>
        <translation>Do not tell the buyer it is approved yet: the lender has not decided</translation>
    </message>
    <message>
        <source>Waiting for the service's answer; each request may take up to %1 s</source>
        <translation>Waiting for the service's answer; each request may take up to %1 s</translation>
    </message>
    <message>
        <source>A code was scanned before the sale: press F2, then scan it</source>
        <translation>A code was scanned before the sale: press F2, then scan it</translation>
    </message>
    <message>
        <source>Se&amp;rvice</source>
        <translation>Se&amp;rvice</translation>
    </message>
    <message>
        <source>&amp;Test connection</source>
        <translation>&amp;Test connection</translation>
    </message>
    <message>
        <source>Payment &amp;status...</source>
        <translation>Payment &amp;status...</translation>
    </message>
    <message>
        <source>&amp;Reconciliation</source>
        <translation>&amp;Reconciliation</translation>
    </message>
    <message>
        <source>R&amp;eport</source>
        <translation>R&amp;eport</translation>
    </message>
    <message>
        <source>S&amp;hort report</source>
        <translation>S&amp;hort report</translation>
    </message>
    <message>
        <source>Print a &amp;copy</source>
        <translation>Print a &amp;copy</translation>
    </message>
    <message>
        <source>Order (the sale's rrn):</source>
        <translation>Order (the sale's rrn):</translation>
    </message>
    <message>
        <source>Service</source>
        <translation>Service</translation>
    </message>
</context>
</TS>
