#pragma once

#include "processingexport.h"

#include <QDateTime>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVariant>

// What the host asks a processing object to do. A gadget, so that its fields can be
// serialised by property.
class PROCESSING_EXPORT PaymentProcessingRequest
{
    Q_GADGET
    Q_PROPERTY(int requestType READ getRequestType WRITE setRequestType)
    Q_PROPERTY(int amount READ getAmount WRITE setAmount)
    Q_PROPERTY(int sourceAmount READ getSourceAmount WRITE setSourceAmount)
    Q_PROPERTY(QString merchantId READ getMerchantId WRITE setMerchantId)
    Q_PROPERTY(QString authorizationCode READ getAuthorizationCode WRITE setAuthorizationCode)
    Q_PROPERTY(QString rrn READ getRrn WRITE setRrn)
    Q_PROPERTY(QString cardNumber READ getCardNumber WRITE setCardNumber)
    Q_PROPERTY(QString hash READ getHash WRITE setHash)
    Q_PROPERTY(bool isPartOfPayment READ getIsPartOfPayment WRITE setIsPartOfPayment)
    Q_PROPERTY(QString cashCode READ getCashCode WRITE setCashCode)
    Q_PROPERTY(int shiftNumber READ getShiftNumber WRITE setShiftNumber)
    Q_PROPERTY(int checkNumber READ getCheckNumber WRITE setCheckNumber)
    Q_PROPERTY(QDateTime dateTime READ getDateTime WRITE setDateTime)
    Q_PROPERTY(QVariantMap additionalData READ getAdditionalData WRITE setAdditionalData)
    Q_PROPERTY(int printWidth READ getPrintWidth WRITE setPrintWidth)
    Q_PROPERTY(int paymentMethod READ getPaymentMethod WRITE setPaymentMethod)
    Q_PROPERTY(int valutCode READ getValutCode WRITE setValutCode)
    Q_PROPERTY(QString documentId READ getDocumentId WRITE setDocumentId)

public:
    enum Type : int {
        Payment = 1,
        Refund = 3,
    };

    int getRequestType() const { return m_requestType; }
    void setRequestType(int value) { m_requestType = value; }
    // Kopecks.
    int getAmount() const { return m_amount; }
    void setAmount(int value) { m_amount = value; }
    int getSourceAmount() const { return m_sourceAmount; }
    void setSourceAmount(int value) { m_sourceAmount = value; }
    QString getMerchantId() const { return m_merchantId; }
    void setMerchantId(const QString &value) { m_merchantId = value; }
    QString getAuthorizationCode() const { return m_authorizationCode; }
    void setAuthorizationCode(const QString &value) { m_authorizationCode = value; }
    // The reference of the earlier payment: the service's order id.
    QString getRrn() const { return m_rrn; }
    void setRrn(const QString &value) { m_rrn = value; }
    // The scanned code.
    QString getCardNumber() const { return m_cardNumber; }
    void setCardNumber(const QString &value) { m_cardNumber = value; }
    QString getHash() const { return m_hash; }
    void setHash(const QString &value) { m_hash = value; }
    bool getIsPartOfPayment() const { return m_isPartOfPayment; }
    void setIsPartOfPayment(bool value) { m_isPartOfPayment = value; }
    QString getCashCode() const { return m_cashCode; }
    void setCashCode(const QString &value) { m_cashCode = value; }
    int getShiftNumber() const { return m_shiftNumber; }
    void setShiftNumber(int value) { m_shiftNumber = value; }
    int getCheckNumber() const { return m_checkNumber; }
    void setCheckNumber(int value) { m_checkNumber = value; }
    QDateTime getDateTime() const { return m_dateTime; }
    void setDateTime(const QDateTime &value) { m_dateTime = value; }
    QMap<QString, QVariant> getAdditionalData() const { return m_additionalData; }
    void setAdditionalData(const QMap<QString, QVariant> &value) { m_additionalData = value; }
    int getPrintWidth() const { return m_printWidth; }
    void setPrintWidth(int value) { m_printWidth = value; }
    int getPaymentMethod() const { return m_paymentMethod; }
    void setPaymentMethod(int value) { m_paymentMethod = value; }
    int getValutCode() const { return m_valutCode; }
    void setValutCode(int value) { m_valutCode = value; }
    QString getDocumentId() const { return m_documentId; }
    void setDocumentId(const QString &value) { m_documentId = value; }

    // Every field but documentId.
    bool operator==(const PaymentProcessingRequest &other) const;
    bool operator!=(const PaymentProcessingRequest &other) const { return !(*this == other); }

private:
    int m_requestType = 0;
    int m_amount = 0;
    int m_sourceAmount = 0;
    QString m_merchantId;
    QString m_authorizationCode;
    QString m_rrn;
    QString m_cardNumber;
    QString m_hash;
    bool m_isPartOfPayment = false;
    QString m_cashCode;
    int m_shiftNumber = 0;
    int m_checkNumber = 0;
    QDateTime m_dateTime;
    QMap<QString, QVariant> m_additionalData;
    int m_printWidth = 0;
    int m_paymentMethod = 0;
    int m_valutCode = 0;
    QString m_documentId;
};
