#pragma once

#include <QString>

namespace till {

class CommandLine;

// The values of the options that carry numbers, each read once per command: the amount in
// kopecks and when the cashier's cancel button is pressed by itself.
struct OptionValues
{
    int amount = 0;            // kopecks; 0 when --amount is not given
    int interruptAfterMs = -1; // negative: --interrupt-after is not given

    // Reads --amount and --interrupt-after where given; false with `error` set for the first
    // that is not usable.
    bool read(const CommandLine &commandLine, QString *error);
};

// A positive whole number of kopecks that fits an int; false with `error` set otherwise.
bool parseKopecks(const QString &text, int *amount, QString *error);
// A non-negative number of seconds, fractions allowed, as milliseconds.
bool parseSeconds(const QString &text, int *milliseconds, QString *error);

} // namespace till
