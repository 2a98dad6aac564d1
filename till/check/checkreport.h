#pragma once

#include "checkresult.h"

#include <QString>
#include <QVector>

#include <functional>

namespace till {

// Where the set-up checks put their findings: kept in order and handed to a sink as soon as
// each is known, so that a slow check does not hold back the lines before it.
class CheckReport
{
public:
    using Sink = std::function<void(const CheckResult &)>;

    explicit CheckReport(const Sink &sink = Sink());

    void add(const QString &check, CheckResult::Outcome outcome, const QString &detail,
             const QString &hint = QString());
    // An earlier failure leaves nothing to check; `why` says which.
    void skip(const QString &check, const QString &why);

    const QVector<CheckResult> &results() const { return m_results; }

private:
    Sink m_sink;
    QVector<CheckResult> m_results;
};

} // namespace till
