#include "optionvalues.h"

#include "commandline.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace till {

Result<> OptionValues::read(const CommandLine &commandLine)
{
    if (commandLine.isSet(QStringLiteral("amount"))) {
        const Result<int> kopecks = parseKopecks(commandLine.value(QStringLiteral("amount")));
        if (!kopecks)
            return ResultError(kopecks.error());
        amount = kopecks.value();
    }
    if (commandLine.isSet(QStringLiteral("interrupt-after"))) {
        const Result<int> ms = parseSeconds(commandLine.value(QStringLiteral("interrupt-after")));
        if (!ms)
            return ResultError(ms.error());
        interruptAfterMs = ms.value();
    }
    return ResultOk;
}

Result<int> parseKopecks(const QString &text)
{
    // Only digits: "+5", " 5", "5.0" or "1e3" are not what a till sends and are refused
    // rather than guessed at.
    static const QRegularExpression Digits(QStringLiteral("^[0-9]+$"));
    if (!Digits.match(text).hasMatch())
        return ResultError(
            QStringLiteral("amount '%1' is not a whole number of kopecks").arg(text));
    bool ok = false;
    const qulonglong value = text.toULongLong(&ok);
    if (!ok || value > qulonglong(std::numeric_limits<int>::max()))
        return ResultError(QStringLiteral("amount '%1' is too large (at most %2 kopecks)")
                               .arg(text)
                               .arg(std::numeric_limits<int>::max()));
    if (value == 0)
        return ResultError(QStringLiteral("amount must be positive, not 0"));
    return int(value);
}

Result<int> parseSeconds(const QString &text)
{
    static const QRegularExpression Number(QStringLiteral("^[0-9]+(\\.[0-9]+)?$"));
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    // A day is far more than any sale waits; the bound keeps the milliseconds in an int.
    if (!Number.match(text).hasMatch() || !ok || !std::isfinite(seconds) || seconds > 86400)
        return ResultError(QStringLiteral("--interrupt-after '%1' is not a number of seconds "
                                          "between 0 and 86400")
                               .arg(text));
    return int(std::lround(seconds * 1000));
}

} // namespace till
