#include "queuecheck.h"

#include "checkreport.h"
#include "checktexts.h"
#include "databaseaccess.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>
#include <unistd.h>

#include <memory>

namespace till {

namespace {

using CheckTexts::text;
using Outcome = CheckResult::Outcome;

using Database = std::unique_ptr<sqlite3, decltype(&sqlite3_close_v2)>;
using Statement = std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)>;

// Long enough to ride out another process's commit, short enough that the check ends.
constexpr int BusyTimeoutMs = 5000;

QString ageText(qint64 seconds)
{
    if (seconds < 120)
        return text("ageSeconds").arg(qMax<qint64>(seconds, 0));
    if (seconds < 120 * 60)
        return text("ageMinutes").arg(seconds / 60);
    if (seconds < 48 * 3600)
        return text("ageHours").arg(seconds / 3600);
    return text("ageDays").arg(seconds / 86400);
}

Statement prepare(sqlite3 *db, const char *sql)
{
    // On failure SQLite leaves the statement null; the reason stays on the connection.
    sqlite3_stmt *statement = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    return Statement(statement, &sqlite3_finalize);
}

QString columnText(sqlite3_stmt *statement, int column)
{
    const auto *value = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
    return value ? QString::fromUtf8(value) : QString();
}

} // namespace

QueueCheck::QueueCheck(CheckReport &report) : m_report(report) {}

bool QueueCheck::checkWritable(const QString &path)
{
    // A queue the till cannot write loses the cancellations and refunds that got no answer.
    const QString directory = QFileInfo(path).absolutePath();
    const Result<> writable = databaseWritable(path);
    if (writable)
        return true;
    m_report.add(text("checkQueue"), Outcome::Fail,
                 text("queueUnwritable").arg(path, writable.error()),
                 text("queueUnwritableHint").arg(directory));
    return false;
}

void QueueCheck::check(const QString &queueFile)
{
    const QString check = text("checkQueue");
    const QString path = QFileInfo(queueFile).absoluteFilePath();
    if (!checkWritable(path))
        return;
    if (!QFileInfo::exists(path)) {
        m_figures.read = true;
        m_report.add(check, Outcome::Ok, text("queueNone").arg(path));
        return;
    }
    // Read-only and without SQLITE_OPEN_CREATE: the check must neither make nor change a
    // queue. A busy writer is waited for, but not forever.
    sqlite3 *rawDb = nullptr;
    const QByteArray fileName = path.toUtf8();
    int rc = sqlite3_open_v2(fileName.constData(), &rawDb, SQLITE_OPEN_READONLY, nullptr);
    const Database db(rawDb, &sqlite3_close_v2);
    const auto failWith = [&](const QString &what) {
        const QString reason = db ? QString::fromUtf8(sqlite3_errmsg(db.get()))
                                  : QString::fromUtf8(sqlite3_errstr(rc));
        m_report.add(check, Outcome::Fail, text("queueFail").arg(path, what, reason),
                     text("queueFailHint"));
    };
    if (rc != SQLITE_OK)
        return failWith(text("queueOpen"));
    sqlite3_busy_timeout(db.get(), BusyTimeoutMs);

    Statement statement = prepare(db.get(), "PRAGMA integrity_check");
    if (!statement)
        return failWith(text("queueIntegrity"));
    rc = sqlite3_step(statement.get());
    const QString integrity = rc == SQLITE_ROW ? columnText(statement.get(), 0) : QString();
    statement.reset();
    if (rc != SQLITE_ROW)
        return failWith(text("queueIntegrity"));
    if (integrity != QLatin1String("ok")) {
        m_report.add(check, Outcome::Fail, text("queueCorrupt").arg(path, integrity),
                     text("queueFailHint"));
        return;
    }

    statement = prepare(db.get(), "SELECT COUNT(*), MIN(added), MAX(attempts) FROM messages");
    if (!statement)
        return failWith(text("queueRead"));
    rc = sqlite3_step(statement.get());
    const qint64 count = rc == SQLITE_ROW ? sqlite3_column_int64(statement.get(), 0) : 0;
    const QString oldestText = rc == SQLITE_ROW ? columnText(statement.get(), 1) : QString();
    const qint64 mostAttempts = rc == SQLITE_ROW ? sqlite3_column_int64(statement.get(), 2) : 0;
    const QDateTime oldest =
        oldestText.isNull() ? QDateTime() : QDateTime::fromString(oldestText, Qt::ISODateWithMs);
    statement.reset();
    if (rc != SQLITE_ROW)
        return failWith(text("queueRead"));

    m_figures.read = true;
    if (count == 0) {
        m_report.add(check, Outcome::Ok, text("queueEmpty").arg(path));
        return;
    }
    const qint64 age =
        oldest.isValid() ? oldest.secsTo(QDateTime::currentDateTimeUtc()) : qint64(-1);
    m_figures.messages = count;
    m_figures.oldestAgeSeconds = qMax<qint64>(age, 0);
    m_figures.mostAttempts = mostAttempts;
    const QString found =
        text("queuePending").arg(path).arg(count).arg(age < 0 ? text("dateUnknown") : ageText(age));
    if (age > qint64(AgeWarningHours) * 3600)
        m_report.add(check, Outcome::Warn, found, text("queueOldHint"));
    else
        m_report.add(check, Outcome::Ok, found);
}

} // namespace till
