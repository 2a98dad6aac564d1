#pragma once

#include <QString>

namespace till {

class CheckReport;

// The queue part of `till check`: whether the till's user can create and write the queue,
// the database opened read-only and never created, its integrity, how many messages wait and
// how old the oldest is.
class QueueCheck
{
public:
    // Messages older than this should have been replayed long ago.
    static constexpr int AgeWarningHours = 24;

    // What a readable queue holds; all 0 for an absent or empty one, and `read` false when the
    // queue could not be read.
    struct Figures
    {
        bool read = false;
        qint64 messages = 0;
        qint64 oldestAgeSeconds = 0;
        qint64 mostAttempts = 0;
    };

    explicit QueueCheck(CheckReport &report);

    void check(const QString &queueFile);
    const Figures &figures() const { return m_figures; }

private:
    // Fails the check when a cancellation without answer could not be stored in `path`.
    bool checkWritable(const QString &path);

    CheckReport &m_report;
    Figures m_figures;
};

} // namespace till
