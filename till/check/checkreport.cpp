#include "checkreport.h"

namespace till {

CheckReport::CheckReport(const Sink &sink) : m_sink(sink) {}

void CheckReport::add(const QString &check, CheckResult::Outcome outcome, const QString &detail,
                      const QString &hint)
{
    CheckResult result;
    result.check = check;
    result.outcome = outcome;
    result.detail = detail;
    result.hint = hint;
    m_results.append(result);
    if (m_sink)
        m_sink(result);
}

void CheckReport::skip(const QString &check, const QString &why)
{
    add(check, CheckResult::Outcome::Skipped, why);
}

} // namespace till
