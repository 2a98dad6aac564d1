#pragma once

#include <result.h>

#include <QString>

namespace till {

class CommandLine;

// The values of the options that carry numbers, each read once per command: the amount in
// kopecks and when the cashier's cancel button is pressed by itself.
struct OptionValues
{
    int amount = 0;            // kopecks; 0 when --amount is not given
    int interruptAfterMs = -1; // negative: --interrupt-after is not given

    // Reads --amount and --interrupt-after where given; fails for the first that is not usable.
    Result<> read(const CommandLine &commandLine);
};

// A positive whole number of kopecks that fits an int.
Result<int> parseKopecks(const QString &text);
// A non-negative number of seconds, fractions allowed, as milliseconds.
Result<int> parseSeconds(const QString &text);

} // namespace till
