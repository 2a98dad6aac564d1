#include "journalcheck.h"

#include "checkreport.h"
#include "checktexts.h"
#include "databaseaccess.h"
#include <velmor/journal.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace till {

namespace {

using CheckTexts::text;
using Outcome = CheckResult::Outcome;

} // namespace

JournalCheck::JournalCheck(CheckReport &report) : m_report(report) {}

bool JournalCheck::checkWritable(const QString &path)
{
    const QString directory = QFileInfo(path).absolutePath();
    const Result<> writable = databaseWritable(path);
    if (writable)
        return true;
    m_report.add(text("checkJournal"), Outcome::Fail,
                 text("journalUnwritable").arg(path, writable.error()),
                 text("queueUnwritableHint").arg(directory));
    return false;
}

void JournalCheck::check(const QString &journalFile)
{
    const QString check = text("checkJournal");
    const QString path = QFileInfo(journalFile).absoluteFilePath();
    if (!checkWritable(path))
        return;
    if (!QFileInfo::exists(path)) {
        m_figures.read = true;
        m_report.add(check, Outcome::Ok, text("journalNone").arg(path));
        return;
    }
    velmor::Journal journal;
    if (!journal.open(path, velmor::Journal::OpenMode::ReadOnly)) {
        m_report.add(check, Outcome::Fail, text("journalFail").arg(journal.errorString()),
                     text("journalFailHint"));
        return;
    }
    velmor::Journal::Figures figures;
    const QList<velmor::Journal::Entry> dead = journal.deadEntries();
    if (!journal.errorString().isEmpty() || !journal.figures(&figures)) {
        m_report.add(check, Outcome::Fail, text("journalFail").arg(journal.errorString()),
                     text("journalFailHint"));
        return;
    }
    m_figures.read = true;
    m_figures.openEntries = figures.open;
    m_figures.reversalsQueued = figures.reversalsQueued;
    m_figures.oldestReversalAgeSeconds = figures.oldestReversalAgeSeconds;
    m_figures.heldUnknownOrder = figures.heldUnknownOrder;
    m_figures.heldExceeding = figures.heldExceeding;
    if (dead.isEmpty()) {
        m_report.add(check, Outcome::Ok,
                     text("journalFine").arg(path).arg(figures.open).arg(figures.reversalsQueued));
        return;
    }
    // A few orders to look up; `till journal --open` lists them all.
    const int Named = 5;
    QStringList orders;
    for (const velmor::Journal::Entry &entry : dead.mid(0, Named))
        orders.append(
            QStringLiteral("%1 %2").arg(velmor::Journal::kindName(entry.kind), entry.orderId));
    if (dead.size() > Named)
        orders.append(QStringLiteral("..."));
    m_report.add(
        check, Outcome::Warn,
        text("journalDead")
            .arg(path)
            .arg(dead.size())
            .arg(CheckTexts::dateText(dead.first().recorded), orders.join(QStringLiteral(", "))),
        text("journalDeadHint"));
}

} // namespace till
