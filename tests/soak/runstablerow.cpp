#include "runstablerow.h"

#include "markedsection.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// Most frequent first.
std::vector<std::pair<QString, int>> byCount(const std::map<QString, int> &counts)
{
    std::vector<std::pair<QString, int>> sorted(counts.begin(), counts.end());
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto &a, const auto &b) { return a.second > b.second; });
    return sorted;
}

int count(const std::map<QString, int> &counts, const char *key)
{
    const auto found = counts.find(QString::fromLatin1(key));
    return found == counts.end() ? 0 : found->second;
}

} // namespace

QString RunsTableRow::markdown() const
{
    const SoakRun::Settings defaults;
    QString run = QStringLiteral("seed %1, ").arg(settings.seed);
    run += issued < settings.operations ? QStringLiteral("%1 operations (of %2 asked, time limit)")
                                              .arg(issued)
                                              .arg(settings.operations)
                                        : QStringLiteral("%1 operations").arg(issued);
    run += QStringLiteral(", %1 tills, chaos %2 %").arg(settings.tills).arg(settings.chaosPercent);
    if (settings.lockPercent != defaults.lockPercent)
        run += QStringLiteral(", queue locked at %1 %").arg(settings.lockPercent);
    if (!settings.quitSignal)
        run += QStringLiteral(", without SIGQUIT");
    if (!note.isEmpty())
        run += QStringLiteral(" (%1)").arg(note);

    const QString operations =
        QStringLiteral("%1 sales (%2 paid), %3 refunds, %4 cancellations, %5 replays; %6 orders")
            .arg(count(kinds, "sale"))
            .arg(paid)
            .arg(count(kinds, "refund"))
            .arg(count(kinds, "cancel"))
            .arg(count(kinds, "replay"))
            .arg(orders);

    std::map<QString, int> drawn = faults;
    drawn.erase(QStringLiteral("down"));
    const auto sortedFaults = byCount(drawn);
    QString faultText = QStringLiteral("none");
    if (!sortedFaults.empty()) {
        const auto &most = sortedFaults.front();
        const auto &least = sortedFaults.back();
        faultText = QStringLiteral("%1 kinds, %2 to %3 each (%4 %3 ... %5 %2)")
                        .arg(sortedFaults.size())
                        .arg(least.second)
                        .arg(most.second)
                        .arg(most.first, least.first);
    }
    faultText += QStringLiteral("; %1 down windows").arg(count(faults, "down"));

    std::map<QString, int> states;
    for (const QString &state : leftToHost)
        ++states[state];
    QStringList parts;
    for (const auto &state : byCount(states))
        parts << QStringLiteral("%1 %2").arg(state.second).arg(state.first);
    if (leftQueued > 0)
        parts
            << QStringLiteral("%1 cancellations of orders never held left queued").arg(leftQueued);
    QString left = QString::number(leftToHost.size());
    if (!parts.isEmpty())
        left += QStringLiteral(" (%1)").arg(parts.join(QStringLiteral(", ")));

    QStringList cells{run,        QStringLiteral("%1 s").arg(seconds),
                      operations, QStringLiteral("%1, %2").arg(exchanges).arg(faulted),
                      faultText,  perturbations,
                      left,       QString::number(discrepancies)};
    for (QString &cell : cells)
        cell.replace(QLatin1Char('|'), QLatin1String("\\|"));
    return QStringLiteral("| %1 |").arg(cells.join(QStringLiteral(" | ")));
}

bool RunsTableRow::insertInto(const QString &path, QString *error) const
{
    MarkedSection page(path, QStringLiteral("soak"));
    if (!page.read()) {
        *error = page.errorString();
        return false;
    }
    // The table's heading and its separator line stay on top.
    QStringList lines = page.content().split(QLatin1Char('\n'));
    if (lines.size() < 3 || !lines.at(1).startsWith(QLatin1String("|---"))) {
        *error = QStringLiteral("%1: no table heading between the soak markers").arg(path);
        return false;
    }
    lines.insert(2, markdown());
    page.setContent(lines.join(QLatin1Char('\n')));
    if (!page.write()) {
        *error = page.errorString();
        return false;
    }
    return true;
}
