#pragma once

#include "abstractpaymentprocessing.h"

#include <QFlags>
#include <QObject>
#include <ctime>
#include <set>

// The processing interface with a default for every operation: what a plug-in does not
// override answers that the operation is unavailable, or returns a neutral value.
class PROCESSING_EXPORT BasicPaymentProcessing : public AbstractPaymentProcessing
{
public:
    BasicPaymentProcessing();
    ~BasicPaymentProcessing() override;

    void init() override;
    bool isPaymentEnable(PaymentProcessingRequest::Type type) const override;
    bool isPaymentEnable(const QSharedPointer<AbstractDocument> &document) const override;
    bool isCancelEnable(PaymentProcessingRequest::Type type) const override;
    bool isCheckTotalsEnable() const override;
    bool isUsePaymentAsDiscount() const override;
    PaymentProcessingAnswer payment(const PaymentProcessingRequest &request) override;
    PaymentProcessingAnswer change(const PaymentProcessingRequest &request) override;
    PaymentProcessingAnswer cancel(const PaymentProcessingRequest &request) override;
    PaymentProcessingAnswer checkTotals(int terminal) override;
    PaymentProcessingAnswer checkTotalsByMerchantId(const QString &merchantId) override;
    PaymentProcessingAnswer printCopy(int terminal) override;
    PaymentProcessingAnswer printReport() override;
    PaymentProcessingAnswer printReportByMerchantId(const QString &merchantId) override;
    PaymentProcessingAnswer printShortReport() override;
    PaymentProcessingAnswer balance(const QString &cardNumber) override;
    PaymentProcessingAnswer discountCard() override;
    PaymentProcessingAnswer loyaltyCards(const QString &cardNumber) override;
    bool checkOption(EPaymentProcessingOption::Option option) const override;
    bool checkOption(processing::Option option) const override;
    void setOption(EPaymentProcessingOption::Option option, bool enable) override;
    void setOption(processing::Option option, bool enable) override;
    void cancelCardRequest() override;
    QMap<EPaymentProcessingInfo::MessageType, tr::Tr> getMessageInfo() const override;
    QString getDialogScanMask() const override;
    QString getDialogImagePath() const override;
    PaymentProcessingAnswer testConnection() override;
    PaymentProcessingAnswer demandPinCode() override;
    PaymentProcessingAnswer demandQRCode(const PaymentProcessingRequest &request) override;
    PaymentProcessingAnswer getPaymentByQRCodeStatus(const QString &orderId) override;
    int getWaitPaymentByQRCodeDuration() const override;
    int getWaitPaymentStatusDuration() const override;
    int getStatusRequestsInterval() const override;
    void cancelPaymentByQRCodeInQueue(const PaymentProcessingRequest &request) override;
    PaymentProcessingAnswer
    paymentByQRCodeOnPinPad(const PaymentProcessingRequest &request) override;
    PaymentProcessingAnswer
    cancelByQRCodeOnPinPad(const PaymentProcessingRequest &request) override;
    void setProcessingDirectory(const QString &directory) override;
    bool interruptPayment() override;
    int getValutCodeForGetHashedCardNumber() const override;
    PaymentProcessingAnswer getHashedCardNumber() override;
    bool sendEnqueuedMessage(const QMap<QString, QVariant> &message) override;

protected:
    static PaymentProcessingAnswer makeResult(const tr::Tr &message);
    // Sleeps until `seconds` of monotonic time have passed since setLastOperationTime().
    void waitBeforeNextOperation(int seconds) const;
    void setLastOperationTime();

    QFlags<EPaymentProcessingOption::Option> optionFlags;
    std::set<processing::Option> processingOptions;
    timespec lastOperationTime{0, 0};
    QString processingDirectory;
    std::set<PaymentProcessingRequest::Type> paymentTypes;
    std::set<PaymentProcessingRequest::Type> cancelTypes;
    int waitPaymentByQRCodeDuration = 0;
    int statusRequestsInterval = 1;
    QString dialogImagePath;
    // The build sets the default (VELMOR_PAYSYSTEMS_DIR), the directory the packages install to.
    QString paySystemsDirectory;
};

Q_DECLARE_INTERFACE(BasicPaymentProcessing, "ZelnarPaymentProcessing/1.0")
