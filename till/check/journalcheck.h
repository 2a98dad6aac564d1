#pragma once

#include <QString>

namespace till {

class CheckReport;

// The journal part of `till check`: whether the till's user can create and write the plug-in's
// journal (a sale is refused without it), the file opened read-only and never created, and the
// entries that a process which ended left without an outcome, which the plug-in's next start
// hands to the queue.
class JournalCheck
{
public:
    // What a readable journal holds; all 0 for an absent one, and `read` false when the
    // journal could not be read.
    struct Figures
    {
        bool read = false;
        qint64 openEntries = 0;
        qint64 reversalsQueued = 0;
        qint64 oldestReversalAgeSeconds = 0;
        // Queued messages the replay keeps until people act (velmor::Journal::Hold).
        qint64 heldUnknownOrder = 0;
        qint64 heldExceeding = 0;
    };

    explicit JournalCheck(CheckReport &report);

    void check(const QString &journalFile);
    const Figures &figures() const { return m_figures; }

private:
    // Fails the check when a sale's entry could not be written to `path`.
    bool checkWritable(const QString &path);

    CheckReport &m_report;
    Figures m_figures;
};

} // namespace till
