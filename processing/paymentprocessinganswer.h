#pragma once

#include "processingexport.h"
#include "processingtypes.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <tr.h>

// What a processing operation tells the host.
class PROCESSING_EXPORT PaymentProcessingAnswer
{
public:
    enum Status : int {
        Success = 0,
        Failure = 1,
        OrderCanceled = 2,
        SuccessWithMessage = 6,
    };

    int getCode() const { return m_code; }
    void setCode(int code) { m_code = code; }
    tr::Tr getMessage() const { return m_message; }
    void setMessage(const tr::Tr &message) { m_message = message; }
    Status getStatus() const { return m_status; }
    void setStatus(Status status) { m_status = status; }
    // A view of the status: success is status 0.
    bool isSuccess() const { return m_status == Success; }
    void setSuccess(bool success) { m_status = success ? Success : Failure; }
    QStringList getPrintImages() const { return m_printImages; }
    void setPrintImages(const QStringList &images) { m_printImages = images; }
    int getTerminalNumber() const { return m_terminalNumber; }
    void setTerminalNumber(int number) { m_terminalNumber = number; }
    QString getCardType() const { return m_cardType; }
    void setCardType(const QString &type) { m_cardType = type; }
    QString getCardNumber() const { return m_cardNumber; }
    void setCardNumber(const QString &number) { m_cardNumber = number; }
    QString getAuthorizationCode() const { return m_authorizationCode; }
    void setAuthorizationCode(const QString &code) { m_authorizationCode = code; }
    QString getRRN() const { return m_rrn; }
    void setRRN(const QString &rrn) { m_rrn = rrn; }
    double getSum() const { return m_sum; }
    void setSum(double sum) { m_sum = sum; }
    QString getPosName() const { return m_posName; }
    void setPosName(const QString &name) { m_posName = name; }
    double getBalance() const { return m_balance; }
    void setBalance(double balance) { m_balance = balance; }
    QString getDiscCardNumber() const { return m_discCardNumber; }
    void setDiscCardNumber(const QString &number) { m_discCardNumber = number; }
    QStringList getLoyaltyCards() const { return m_loyaltyCards; }
    void setLoyaltyCards(const QStringList &cards) { m_loyaltyCards = cards; }
    QString getHashedCardNumber() const { return m_hashedCardNumber; }
    void setHashedCardNumber(const QString &number) { m_hashedCardNumber = number; }
    CardMark getCardMark() const { return m_cardMark; }
    void setCardMark(const CardMark &mark) { m_cardMark = mark; }
    QString getQrCode() const { return m_qrCode; }
    void setQrCode(const QString &code) { m_qrCode = code; }
    EPaymentMethod getPaymentMethod() const { return m_paymentMethod; }
    void setPaymentMethod(EPaymentMethod method) { m_paymentMethod = method; }
    QMap<QString, QVariant> getAdditionalData() const { return m_additionalData; }
    void setAdditionalData(const QMap<QString, QVariant> &data) { m_additionalData = data; }
    QString getTerminalId() const { return m_terminalId; }
    void setTerminalId(const QString &id) { m_terminalId = id; }

    // QR code and terminal id take no part; sums compare exactly, so NaN never equals.
    bool operator==(const PaymentProcessingAnswer &other) const;
    bool operator!=(const PaymentProcessingAnswer &other) const { return !(*this == other); }

private:
    int m_code = 0;
    tr::Tr m_message;
    Status m_status = Failure;
    QStringList m_printImages;
    int m_terminalNumber = 0;
    QString m_cardType;
    QString m_cardNumber;
    QString m_authorizationCode;
    QString m_rrn;
    double m_sum = 0.0;
    QString m_posName;
    double m_balance = 0.0;
    QString m_discCardNumber;
    QStringList m_loyaltyCards;
    QString m_hashedCardNumber;
    CardMark m_cardMark = CardMark::NoMark;
    QString m_qrCode;
    EPaymentMethod m_paymentMethod = EPaymentMethod::Undefined;
    QMap<QString, QVariant> m_additionalData;
    QString m_terminalId;
};
