#include "paymentprocessingrequest.h"

bool PaymentProcessingRequest::operator==(const PaymentProcessingRequest &other) const
{
    // Scalars first, then strings, then the date and the map: the cheap tests decide most
    // comparisons. documentId takes no part.
    return m_requestType == other.m_requestType && m_amount == other.m_amount &&
           m_sourceAmount == other.m_sourceAmount && m_isPartOfPayment == other.m_isPartOfPayment &&
           m_shiftNumber == other.m_shiftNumber && m_checkNumber == other.m_checkNumber &&
           m_printWidth == other.m_printWidth && m_paymentMethod == other.m_paymentMethod &&
           m_valutCode == other.m_valutCode && m_merchantId == other.m_merchantId &&
           m_authorizationCode == other.m_authorizationCode && m_rrn == other.m_rrn &&
           m_cardNumber == other.m_cardNumber && m_hash == other.m_hash &&
           m_cashCode == other.m_cashCode && m_dateTime == other.m_dateTime &&
           m_additionalData == other.m_additionalData;
}
