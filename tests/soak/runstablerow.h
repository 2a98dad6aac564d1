#pragma once

#include "soakrun.h"

#include <QString>
#include <QStringList>

#include <map>

// A soak run as one row of the runs table in the documentation (docs/reliability.md, The soak),
// in that table's columns, and its place there: the first row between the soak markers, above
// the earlier runs.
class RunsTableRow
{
public:
    SoakRun::Settings settings;
    int issued = 0;
    qint64 seconds = 0;
    // Operations by kind ("sale", "refund", "cancel", "replay") and the sales reported paid.
    std::map<QString, int> kinds;
    int paid = 0;
    int orders = 0;
    int exchanges = 0;
    int faulted = 0;
    // Faults drawn by the service by name, "down" counting its down windows.
    std::map<QString, int> faults;
    // The tills' perturbations, as the run's summary prints them.
    QString perturbations;
    // The state of each order left to the host, and the cancellations left queued of orders
    // the service never held.
    QStringList leftToHost;
    int leftQueued = 0;
    int discrepancies = 0;
    // Said after the run's settings, in brackets: e.g. the commit the plug-in was built from.
    QString note;

    QString markdown() const;
    // Puts the row first in the table between the soak markers of the page at `path`.
    bool insertInto(const QString &path, QString *error) const;
};
