#include "faultcatalog.h"

namespace sandbox {

bool FaultCatalog::takesEffect(Fault fault)
{
    switch (fault) {
    case Fault::None:
    case Fault::Delay:
    case Fault::Trickle:
    case Fault::Lost:
    case Fault::Html502After:
    case Fault::Empty200After:
    case Fault::Error504After:
    case Fault::Error502After:
    case Fault::Error500After:
    case Fault::UpperCaseId:
    case Fault::UnchangedAfter:
    case Fault::OtherRefundAfter:
    case Fault::LateCreate:
        return true;
    default:
        return false;
    }
}

bool FaultCatalog::appliesTo(Fault fault, Endpoint endpoint)
{
    switch (fault) {
    case Fault::Unchanged:
    case Fault::UnchangedAfter:
        return endpoint == Endpoint::Cancel || endpoint == Endpoint::Refund;
    case Fault::OtherRefund:
    case Fault::OtherRefundAfter:
        return endpoint == Endpoint::Refund;
    case Fault::InfoZeroAmount:
    case Fault::DuplicateAmount:
        return endpoint == Endpoint::Info;
    case Fault::LateCreate:
        return endpoint == Endpoint::Create;
    case Fault::NotFoundLag:
        return endpoint != Endpoint::Create;
    default:
        return true;
    }
}

const QVector<FaultCatalog::Entry> &FaultCatalog::entries()
{
    static const QVector<Entry> Names = {
        {"delay", Fault::Delay, "carry the request out, answer after MS"},
        {"drop", Fault::Drop, "close the connection without an answer"},
        {"drop-mid-body", Fault::DropMidBody, "send headers and half the body, then close"},
        {"empty500", Fault::Empty500, "500 with an empty body"},
        {"html502", Fault::Html502, "502 with an HTML page"},
        {"not-json", Fault::NotJson, "200 with a body that is not JSON"},
        {"truncated-json", Fault::TruncatedJson, "200 with JSON cut short"},
        {"error-object", Fault::ErrorObject, "400 with the error code \"service_error\""},
        {"huge-body", Fault::HugeBody, "200 with a 5 MiB JSON object"},
        {"trickle", Fault::Trickle, "carry the request out, answer a byte every MS"},
        {"no-answer", Fault::NoAnswer, "read the request, never answer"},
        {"json500", Fault::Json500, "500 with a JSON confirmation and no \"error\""},
        {"other-order", Fault::OtherOrder, "200 with a confirmation about another order"},
        {"lost", Fault::Lost, "carry the request out, close without an answer"},
        {"gateway504", Fault::Gateway504, "504 with an empty body"},
        {"empty200", Fault::Empty200, "200 with {}"},
        {"accepted200", Fault::Accepted200, "200 with {\"result\": \"accepted\"}"},
        {"html502-after", Fault::Html502After, "carry the request out, then 502 HTML"},
        {"empty200-after", Fault::Empty200After, "carry the request out, then 200 {}"},
        {"error504", Fault::Error504, "504 {\"error\": \"Gateway Timeout\"}"},
        {"error504-after", Fault::Error504After, "carry the request out, then error504's"},
        {"error502", Fault::Error502, "502 with the error object \"bad_gateway\""},
        {"error502-after", Fault::Error502After, "carry the request out, then error502's"},
        {"error500", Fault::Error500, "500 {\"error\": {\"message\": ...}}"},
        {"error500-after", Fault::Error500After, "carry the request out, then error500's"},
        {"upper-case-id", Fault::UpperCaseId,
         "carry the request out, answer with the order id in upper case"},
        {"unchanged", Fault::Unchanged, "cancel, refund: 200 with the order as it stands"},
        {"unchanged-after", Fault::UnchangedAfter,
         "cancel, refund: carry it out, then 200 with the order as it stood"},
        {"other-refund", Fault::OtherRefund, "refund: 200 with another refund's id"},
        {"other-refund-after", Fault::OtherRefundAfter,
         "refund: carry it out, then 200 with the order as it stood and another refund's id"},
        {"info-zero-amount", Fault::InfoZeroAmount, "info: 200 with amount 0 and no refunds"},
        {"duplicate-amount", Fault::DuplicateAmount, "info: 200 with \"amount\" twice, the last 0"},
        {"late-create", Fault::LateCreate,
         "create: held until the client gives up, carried out MS after it arrived"},
        {"not-found-lag", Fault::NotFoundLag,
         "info, cancel, refund: \"order_not_found\" about the order for MS"},
    };
    return Names;
}

QString FaultCatalog::name(Fault fault)
{
    for (const Entry &entry : entries()) {
        if (entry.fault == fault)
            return QLatin1String(entry.name);
    }
    return QStringLiteral("none");
}

} // namespace sandbox
