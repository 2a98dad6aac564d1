#pragma once

#include <QString>

namespace till {

// The finding of one set-up check: what was checked, how it came out, what was found and,
// when something is wrong, what to do about it.
struct CheckResult
{
    enum class Outcome { Ok, Warn, Fail, Skipped };

    QString check;
    Outcome outcome = Outcome::Ok;
    QString detail;
    QString hint; // empty for ok and skipped

    // "ok", "warn", "fail" or "skipped".
    static QString outcomeName(Outcome outcome);
    // One line for people: "warn    Velmor:timeout: 2 s ... -> write ...".
    QString toText() const;
    // One JSON object: {"check": ..., "result": ..., "detail": ..., "hint": ...}.
    QString toJson() const;
};

} // namespace till
