#include "checkresult.h"

#include "jsonline.h"

namespace till {

QString CheckResult::outcomeName(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Ok:
        return QStringLiteral("ok");
    case Outcome::Warn:
        return QStringLiteral("warn");
    case Outcome::Fail:
        return QStringLiteral("fail");
    case Outcome::Skipped:
        return QStringLiteral("skipped");
    }
    return QString();
}

QString CheckResult::toText() const
{
    // Padded so that the checks line up under each other whatever their outcome.
    QString line = QStringLiteral("%1 %2: %3").arg(outcomeName(outcome), -7).arg(check, detail);
    if (!hint.isEmpty())
        line += QStringLiteral(" -> ") + hint;
    return line;
}

QString CheckResult::toJson() const
{
    return JsonLine()
        .add(QStringLiteral("check"), check)
        .add(QStringLiteral("result"), outcomeName(outcome))
        .add(QStringLiteral("detail"), detail)
        .add(QStringLiteral("hint"), hint)
        .toString();
}

} // namespace till
