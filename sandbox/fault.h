#pragma once

namespace sandbox {

// The service's four endpoints.
enum class Endpoint { Create, Info, Cancel, Refund };

// Faults: with Delay and Trickle the request is carried out and only its answer comes late;
// with Lost it is carried out and no answer ever comes; with the faults named ...After it is
// carried out and something else comes back instead of its answer; with UpperCaseId it is
// carried out and answered with the order id in upper case; with LateCreate it is carried out
// long after its client gave up; with every other fault the request has no effect (no order
// made, no state change, no poll counted, nothing cancelled or refunded).
enum class Fault {
    None,
    Delay,         // answer normally after `delayMs`
    Drop,          // close the connection without an answer
    DropMidBody,   // send the headers and half the body, then close
    Empty500,      // 500 with an empty body
    Html502,       // 502 with an HTML page
    NotJson,       // 200 with a body that is not JSON
    TruncatedJson, // 200 with JSON cut short
    ErrorObject,   // 400 with {"error": {"code": ..., "text": ...}}
    HugeBody,      // 200 with a 5 MiB JSON body
    Trickle,       // 200 whose body comes a byte every `delayMs`
    NoAnswer,      // accept, read the request, never answer (until stopped)
    Json500,       // 500 whose JSON body, without "error", reads as a confirmation
    OtherOrder,    // 200 with a confirmation about another order
    Lost,          // carry the request out, then close without an answer
    Gateway504,    // 504 with an empty body, as a gateway that gave up waiting
    Empty200,      // 200 with the empty object {}
    Accepted200,   // 200 with {"result": "accepted"} and nothing about the order
    // A gateway's or a broken service's answer after the request was carried out.
    Html502After,  // carry the request out, then 502 with an HTML page
    Empty200After, // carry the request out, then 200 with {}
    // A gateway's or an upstream's error with an "error" member: a string or an object.
    Error504,      // 504 {"error": "Gateway Timeout"}
    Error504After, // carry the request out, then Error504's answer
    Error502,      // 502 {"error": {"code": "bad_gateway", "text": ...}}
    Error502After, // carry the request out, then Error502's answer
    Error500,      // 500 {"error": {"message": ...}}
    Error500After, // carry the request out, then Error500's answer
    // The service's own answer with the order id in upper case (ids are UUIDs, whose case
    // does not matter).
    UpperCaseId,
    // Cancel and refund: 200 with the order as it stands ("refund": [] for a refund).
    Unchanged,
    UnchangedAfter, // carry the request out, then the order as it stood before
    // Refund: 200 with the order as it stands and a refund under another id.
    OtherRefund,
    OtherRefundAfter, // carry the refund out, then the order as it stood, another id
    // Info: 200 with the order's state, "amount" 0 and no refunds; no poll counted.
    InfoZeroAmount,
    // Info: the order's answer with "amount" twice, the last one 0; no poll counted.
    DuplicateAmount,
    // Create: held unanswered until the client gives up, carried out `delayMs` after it
    // arrived (at once when the service is healed or stopped), as from a slow gateway.
    LateCreate,
    // Info, cancel and refund of an order the service holds: "order_not_found" to this
    // request and every other about the order for `delayMs`, as from a lagging replica.
    NotFoundLag,
};

} // namespace sandbox
