#pragma once

#include <till/check/checkresult.h>
#include <till/check/journalcheck.h>
#include <till/check/queuecheck.h>

#include <QString>
#include <QVector>

namespace till {

// `till metrics`: the till's state in the Prometheus text exposition format (version 0.0.4),
// for node_exporter's textfile collector, so that a fleet's Prometheus can alert on a till
// whose queue is stuck or whose set-up broke. Metric names are part of the till's interface:
// alert rules name them.
class MetricsText
{
public:
    // The queue's and the journal's figures, every check's result (one series per outcome, 1 on
    // the one it had) and the plug-in's version as an info metric. Ends with a line break.
    static QString exposition(const QVector<CheckResult> &results, const QueueCheck::Figures &queue,
                              const JournalCheck::Figures &journal, const QString &pluginVersion);

    // A label value with \, " and line breaks escaped as the format wants.
    static QString labelValue(const QString &value);
};

} // namespace till
