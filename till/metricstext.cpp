#include "metricstext.h"

namespace till {

namespace {

void family(QString &text, const char *name, const char *help)
{
    text += QStringLiteral("# HELP %1 %2\n# TYPE %1 gauge\n")
                .arg(QLatin1String(name), QLatin1String(help));
}

void gauge(QString &text, const char *name, const char *help, qint64 value)
{
    family(text, name, help);
    text += QStringLiteral("%1 %2\n").arg(QLatin1String(name)).arg(value);
}

} // namespace

QString MetricsText::labelValue(const QString &value)
{
    QString escaped = value;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('"'), QLatin1String("\\\""))
        .replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return escaped;
}

QString MetricsText::exposition(const QVector<CheckResult> &results,
                                const QueueCheck::Figures &queue,
                                const JournalCheck::Figures &journal, const QString &pluginVersion)
{
    QString text;
    gauge(text, "velmor_queue_readable", "1 when the till's queue could be read, else 0.",
          queue.read ? 1 : 0);
    gauge(text, "velmor_queue_messages",
          "Cancellations and refunds waiting in the till's queue for a replay.", queue.messages);
    gauge(text, "velmor_queue_oldest_age_seconds",
          "Age of the oldest message waiting in the queue; 0 when none waits.",
          queue.oldestAgeSeconds);
    gauge(text, "velmor_queue_most_attempts",
          "Replays offered to the most tried message waiting in the queue; 0 when none waits.",
          queue.mostAttempts);
    gauge(text, "velmor_journal_readable",
          "1 when the plug-in's journal could be read or is not there yet, else 0.",
          journal.read ? 1 : 0);
    gauge(text, "velmor_journal_open_entries",
          "Sales and refunds in the journal without a known outcome: in flight, left by a till "
          "that ended, or answered unknown.",
          journal.openEntries);
    gauge(text, "velmor_journal_reversals_queued",
          "Journal entries handed to the queue at a start and not finished by a replay yet.",
          journal.reversalsQueued);
    gauge(text, "velmor_journal_oldest_reversal_age_seconds",
          "Time since the oldest of them was handed to the queue; 0 when none waits.",
          journal.oldestReversalAgeSeconds);

    family(text, "velmor_queue_held_messages",
           "Queued refunds and cancellations that a replay in the last week kept until people "
           "act: reason order_not_found, a paid order the service does not know (check the "
           "service's address); reason exceeding, a cancellation of a partly refunded payment "
           "whose remainder the service did not show.");
    text += QStringLiteral("velmor_queue_held_messages{reason=\"order_not_found\"} %1\n"
                           "velmor_queue_held_messages{reason=\"exceeding\"} %2\n")
                .arg(journal.heldUnknownOrder)
                .arg(journal.heldExceeding);

    family(text, "velmor_check_result",
           "Outcome of each till check: 1 on the result it had, 0 on the others.");
    const CheckResult::Outcome outcomes[] = {CheckResult::Outcome::Ok, CheckResult::Outcome::Warn,
                                             CheckResult::Outcome::Fail,
                                             CheckResult::Outcome::Skipped};
    for (const CheckResult &result : results) {
        for (const CheckResult::Outcome outcome : outcomes) {
            text += QStringLiteral("velmor_check_result{check=\"%1\",result=\"%2\"} %3\n")
                        .arg(labelValue(result.check), CheckResult::outcomeName(outcome))
                        .arg(result.outcome == outcome ? 1 : 0);
        }
    }

    family(text, "velmor_plugin_info", "The plug-in's version, as its metadata states it.");
    text +=
        QStringLiteral("velmor_plugin_info{version=\"%1\"} 1\n")
            .arg(labelValue(pluginVersion.isEmpty() ? QStringLiteral("unknown") : pluginVersion));
    return text;
}

} // namespace till
