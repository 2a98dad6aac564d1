#include "optionvalues.h"

#include "commandline.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace till {

bool OptionValues::read(const CommandLine &commandLine, QString *error)
{
    if (commandLine.isSet(QStringLiteral("amount")) &&
        !parseKopecks(commandLine.value(QStringLiteral("amount")), &amount, error))
        return false;
    if (commandLine.isSet(QStringLiteral("interrupt-after")) &&
        !parseSeconds(commandLine.value(QStringLiteral("interrupt-after")), &interruptAfterMs,
                      error))
        return false;
    return true;
}

bool parseKopecks(const QString &text, int *amount, QString *error)
{
    // Only digits: "+5", " 5", "5.0" or "1e3" are not what a till sends and are refused
    // rather than guessed at.
    static const QRegularExpression Digits(QStringLiteral("^[0-9]+$"));
    if (!Digits.match(text).hasMatch()) {
        *error = QStringLiteral("amount '%1' is not a whole number of kopecks").arg(text);
        return false;
    }
    bool ok = false;
    const qulonglong value = text.toULongLong(&ok);
    if (!ok || value > qulonglong(std::numeric_limits<int>::max())) {
        *error = QStringLiteral("amount '%1' is too large (at most %2 kopecks)")
                     .arg(text)
                     .arg(std::numeric_limits<int>::max());
        return false;
    }
    if (value == 0) {
        *error = QStringLiteral("amount must be positive, not 0");
        return false;
    }
    *amount = int(value);
    return true;
}

bool parseSeconds(const QString &text, int *milliseconds, QString *error)
{
    static const QRegularExpression Number(QStringLiteral("^[0-9]+(\\.[0-9]+)?$"));
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    // A day is far more than any sale waits; the bound keeps the milliseconds in an int.
    if (!Number.match(text).hasMatch() || !ok || !std::isfinite(seconds) || seconds > 86400) {
        *error = QStringLiteral("--interrupt-after '%1' is not a number of seconds between 0 and "
                                "86400")
                     .arg(text);
        return false;
    }
    *milliseconds = int(std::lround(seconds * 1000));
    return true;
}

} // namespace till
