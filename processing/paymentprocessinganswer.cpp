#include "paymentprocessinganswer.h"

bool PaymentProcessingAnswer::operator==(const PaymentProcessingAnswer &other) const
{
    return m_code == other.m_code && m_message == other.m_message && m_status == other.m_status &&
           m_printImages == other.m_printImages && m_terminalNumber == other.m_terminalNumber &&
           m_cardType == other.m_cardType && m_cardNumber == other.m_cardNumber &&
           m_authorizationCode == other.m_authorizationCode && m_rrn == other.m_rrn &&
           m_sum == other.m_sum && m_posName == other.m_posName && m_balance == other.m_balance &&
           m_discCardNumber == other.m_discCardNumber && m_loyaltyCards == other.m_loyaltyCards &&
           m_hashedCardNumber == other.m_hashedCardNumber && m_cardMark == other.m_cardMark &&
           m_paymentMethod == other.m_paymentMethod && m_additionalData == other.m_additionalData;
}
