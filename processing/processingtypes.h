#pragma once

#include <QFlags>
#include <QtGlobal>

// Host enumerations a processing object sets or tests. Only the numbers matter to the
// host; the names of values the plug-in never uses are placeholders for those numbers.

namespace EPaymentProcessingOption {
enum Option : quint32 {
    NoOption = 0,
    Flag0x10 = 0x10,
    Flag0x4000 = 0x4000,
};
Q_DECLARE_FLAGS(Options, Option)
} // namespace EPaymentProcessingOption
Q_DECLARE_OPERATORS_FOR_FLAGS(EPaymentProcessingOption::Options)

namespace processing {
enum class Option : int {
    Option0 = 0,
};
} // namespace processing

namespace EPaymentProcessingInfo {
enum MessageType : int {
    ScanTitle = 0,
    ScanMessage = 1,
};
} // namespace EPaymentProcessingInfo

enum class EPaymentMethod : int {
    Undefined = 0,
    Card = 1,
    Instalment = 2,
};

enum class CardMark : quint32 {
    NoMark = 0,
};
