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

namespace {

// Details carry what the service and its certificate said. A line break there would start a
// line of the service's choosing ("ok      credentials: ..."), and a terminal's escape or a
// bidirectional override would redraw the line: each such character is written as an escape.
QString escaped(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        const QChar::Category category = c.category();
        if (category != QChar::Other_Control && category != QChar::Other_Format &&
            category != QChar::Separator_Line && category != QChar::Separator_Paragraph) {
            result += c;
        } else if (c == QLatin1Char('\n')) {
            result += QLatin1String("\\n");
        } else if (c == QLatin1Char('\r')) {
            result += QLatin1String("\\r");
        } else if (c == QLatin1Char('\t')) {
            result += QLatin1String("\\t");
        } else {
            result += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        }
    }
    return result;
}

} // namespace

QString CheckResult::toText() const
{
    // Padded so that the checks line up under each other whatever their outcome.
    QString line = QStringLiteral("%1 %2: %3")
                       .arg(outcomeName(outcome), -7)
                       .arg(escaped(check), escaped(detail));
    if (!hint.isEmpty())
        line += QStringLiteral(" -> ") + escaped(hint);
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
