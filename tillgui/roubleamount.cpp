#include "roubleamount.h"

#include "guitext.h"

#include <QRegularExpression>

#include <limits>

namespace tillgui {

Result<int> RoubleAmount::parse(const QString &text)
{
    static const QRegularExpression Roubles(QStringLiteral("^([0-9]+)(?:[.,]([0-9]{1,2}))?$"));
    QString typed = text;
    typed.remove(QLatin1Char(' ')).remove(QChar(0x00a0));
    const QRegularExpressionMatch match = Roubles.match(typed);
    if (!match.hasMatch())
        return ResultError(guitext::text("Type the amount in roubles, for example 1500.00"));
    const QString whole = match.captured(1);
    const QString cents = match.captured(2).leftJustified(2, QLatin1Char('0'));
    // Past fifteen digits a qint64 could overflow; far past an int's kopecks in any case.
    bool ok = whole.size() <= 15;
    const qint64 value = ok ? whole.toLongLong(&ok) * 100 + cents.toLongLong() : 0;
    if (!ok || value > std::numeric_limits<int>::max())
        return ResultError(guitext::text("The amount is too large"));
    if (value == 0)
        return ResultError(guitext::text("The amount must be more than zero"));
    return int(value);
}

} // namespace tillgui
