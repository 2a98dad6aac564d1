#pragma once

#include <QString>

namespace till {

class CheckReport;

// The queue part of `till check`: the queue database opened read-only and never created, its
// integrity, how many messages wait and how old the oldest is.
class QueueCheck
{
public:
    // Messages older than this should have been replayed long ago.
    static constexpr int AgeWarningHours = 24;

    explicit QueueCheck(CheckReport &report);

    void check(const QString &queueFile);

private:
    CheckReport &m_report;
};

} // namespace till
