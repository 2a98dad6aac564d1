#include "abstractpaymentprocessing.h"

AbstractPaymentProcessing::~AbstractPaymentProcessing() = default;
