#include "basicpaymentprocessing.h"

#include <cerrno>
#include <unistd.h>

#ifndef VELMOR_PAYSYSTEMS_DIR
#error "VELMOR_PAYSYSTEMS_DIR names the default pay-systems directory; the build defines it"
#endif

namespace {

PaymentProcessingAnswer unavailable(const char *key, const char *text)
{
    PaymentProcessingAnswer answer;
    answer.setMessage(tr::Tr(QString::fromLatin1(key), QString::fromUtf8(text)));
    return answer;
}

} // namespace

BasicPaymentProcessing::BasicPaymentProcessing()
    : paySystemsDirectory(QStringLiteral(VELMOR_PAYSYSTEMS_DIR))
{}

BasicPaymentProcessing::~BasicPaymentProcessing() = default;

void BasicPaymentProcessing::init() {}

bool BasicPaymentProcessing::isPaymentEnable(PaymentProcessingRequest::Type type) const
{
    return paymentTypes.count(type) > 0;
}

bool BasicPaymentProcessing::isPaymentEnable(const QSharedPointer<AbstractDocument> &) const
{
    return false;
}

bool BasicPaymentProcessing::isCancelEnable(PaymentProcessingRequest::Type type) const
{
    return cancelTypes.count(type) > 0;
}

bool BasicPaymentProcessing::isCheckTotalsEnable() const
{
    return false;
}

bool BasicPaymentProcessing::isUsePaymentAsDiscount() const
{
    return false;
}

PaymentProcessingAnswer BasicPaymentProcessing::payment(const PaymentProcessingRequest &)
{
    return unavailable("basicPaymentProcessingPayment", "Операция оплаты недоступна");
}

PaymentProcessingAnswer BasicPaymentProcessing::change(const PaymentProcessingRequest &)
{
    return unavailable("basicPaymentProcessingChange", "Операция сдачи недоступна");
}

PaymentProcessingAnswer BasicPaymentProcessing::cancel(const PaymentProcessingRequest &)
{
    return unavailable("basicPaymentProcessingCancel", "Операция отмены недоступна");
}

PaymentProcessingAnswer BasicPaymentProcessing::checkTotals(int)
{
    return unavailable("basicPaymentProcessingCheckTotals",
                       "Операция печати короткого отчета недоступна");
}

PaymentProcessingAnswer BasicPaymentProcessing::checkTotalsByMerchantId(const QString &)
{
    return unavailable("basicPaymentProcessingCheckTotalsByMerchant",
                       "Операция сверки итогов для юр. лица недоступна");
}

PaymentProcessingAnswer BasicPaymentProcessing::printCopy(int)
{
    return unavailable("basicPaymentProcessingPrintCopy", "Операция печати копии недоступна");
}

PaymentProcessingAnswer BasicPaymentProcessing::printReport()
{
    return unavailable("basicPaymentProcessingPrintReport",
                       "Операция печати полного отчета недоступна");
}

PaymentProcessingAnswer BasicPaymentProcessing::printReportByMerchantId(const QString &)
{
    return unavailable("basicPaymentProcessingPrintReportByMerchant",
                       "Операция печати полного отчета для юр. лица недоступна");
}

PaymentProcessingAnswer BasicPaymentProcessing::printShortReport()
{
    return unavailable("basicPaymentProcessingPrintShortReport",
                       "Операция печати короткого отчета недоступна");
}

PaymentProcessingAnswer BasicPaymentProcessing::balance(const QString &)
{
    return unavailable("basicPaymentProcessingBalance", "Операция запроса баланса недоступна");
}

PaymentProcessingAnswer BasicPaymentProcessing::discountCard()
{
    return unavailable("basicPaymentProcessingDiscountCard",
                       "Операция получения скидочной карты недоступна");
}

PaymentProcessingAnswer BasicPaymentProcessing::loyaltyCards(const QString &)
{
    return unavailable("basicPaymentProcessingLoyaltyCards",
                       "Операция получения списка карт лояльности недоступна");
}

bool BasicPaymentProcessing::checkOption(EPaymentProcessingOption::Option option) const
{
    // The empty mask is "set" only while nothing else is.
    const auto flags = QFlags<EPaymentProcessingOption::Option>(option);
    return (optionFlags & flags) == flags && (flags != 0 || optionFlags == 0);
}

bool BasicPaymentProcessing::checkOption(processing::Option option) const
{
    return processingOptions.count(option) > 0;
}

void BasicPaymentProcessing::setOption(EPaymentProcessingOption::Option option, bool enable)
{
    if (enable)
        optionFlags |= option;
    else if (checkOption(option))
        optionFlags ^= option;
}

void BasicPaymentProcessing::setOption(processing::Option option, bool enable)
{
    if (enable)
        processingOptions.insert(option);
    else
        processingOptions.erase(option);
}

void BasicPaymentProcessing::cancelCardRequest() {}

QMap<EPaymentProcessingInfo::MessageType, tr::Tr> BasicPaymentProcessing::getMessageInfo() const
{
    return {};
}

QString BasicPaymentProcessing::getDialogScanMask() const
{
    return QStringLiteral(".*");
}

QString BasicPaymentProcessing::getDialogImagePath() const
{
    return dialogImagePath;
}

PaymentProcessingAnswer BasicPaymentProcessing::testConnection()
{
    return unavailable("basicPaymentProcessingTestConnection",
                       "Операция проверки связи недоступна");
}

PaymentProcessingAnswer BasicPaymentProcessing::demandPinCode()
{
    return unavailable("basicPaymentProcessingDemandPinCode",
                       "Операция запроса пин-кода недоступна");
}

PaymentProcessingAnswer BasicPaymentProcessing::demandQRCode(const PaymentProcessingRequest &)
{
    return unavailable("basicPaymentProcessingDemandQrCode", "Операция запроса QR-кода недоступна");
}

PaymentProcessingAnswer BasicPaymentProcessing::getPaymentByQRCodeStatus(const QString &)
{
    return unavailable("basicPaymentProcessingGetPaymentByQRCodeStatus",
                       "Операция получения статуса оплаты по QR-коду недоступна");
}

int BasicPaymentProcessing::getWaitPaymentByQRCodeDuration() const
{
    return waitPaymentByQRCodeDuration;
}

int BasicPaymentProcessing::getWaitPaymentStatusDuration() const
{
    return getWaitPaymentByQRCodeDuration();
}

int BasicPaymentProcessing::getStatusRequestsInterval() const
{
    return statusRequestsInterval;
}

void BasicPaymentProcessing::cancelPaymentByQRCodeInQueue(const PaymentProcessingRequest &) {}

PaymentProcessingAnswer
BasicPaymentProcessing::paymentByQRCodeOnPinPad(const PaymentProcessingRequest &)
{
    return unavailable("basicPaymentProcessingPaymentByQRCodeOnPinPad",
                       "Операция оплаты по QR-коду на PinPad недоступна");
}

PaymentProcessingAnswer
BasicPaymentProcessing::cancelByQRCodeOnPinPad(const PaymentProcessingRequest &)
{
    return unavailable("basicPaymentProcessingCancelByQRCodeOnPinPad",
                       "Операция отмены оплаты по QR-коду на PinPad недоступна");
}

void BasicPaymentProcessing::setProcessingDirectory(const QString &directory)
{
    if (!directory.isEmpty())
        processingDirectory = directory;
}

bool BasicPaymentProcessing::interruptPayment()
{
    return false;
}

int BasicPaymentProcessing::getValutCodeForGetHashedCardNumber() const
{
    return -1;
}

PaymentProcessingAnswer BasicPaymentProcessing::getHashedCardNumber()
{
    return unavailable("basicPaymentProcessingGetHashedCardNumber",
                       "Операция получения хэшированного номера карты недоступна");
}

bool BasicPaymentProcessing::sendEnqueuedMessage(const QMap<QString, QVariant> &)
{
    return false;
}

PaymentProcessingAnswer BasicPaymentProcessing::makeResult(const tr::Tr &message)
{
    PaymentProcessingAnswer answer;
    answer.setMessage(message);
    return answer;
}

void BasicPaymentProcessing::setLastOperationTime()
{
    clock_gettime(CLOCK_MONOTONIC, &lastOperationTime);
}

void BasicPaymentProcessing::waitBeforeNextOperation(int seconds) const
{
    if (seconds <= 0 || lastOperationTime.tv_sec <= 0)
        return;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const qint64 remaining = qint64(seconds) + lastOperationTime.tv_sec - now.tv_sec;
    if (remaining < 0 || (remaining == 0 && lastOperationTime.tv_nsec <= now.tv_nsec))
        return;
    // Callers keep `seconds` below 2147, so the wait fits 32 bits of microseconds.
    const qint32 micros =
        qint32(remaining * 1000000 + (lastOperationTime.tv_nsec - now.tv_nsec) / 1000);
    if (micros > 0)
        usleep(useconds_t(micros));
}
