// The soak's row in the documentation's runs table: its columns, and its place between the soak
// markers with the rest of the page kept byte for byte, or the page left alone.

#include "runstablerow.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

RunsTableRow sampleRow()
{
    RunsTableRow row;
    row.settings.seed = 20261209;
    row.settings.operations = 1000;
    row.settings.tills = 8;
    row.issued = 1000;
    row.seconds = 400;
    row.kinds = {{QStringLiteral("sale"), 604},
                 {QStringLiteral("refund"), 181},
                 {QStringLiteral("cancel"), 109},
                 {QStringLiteral("replay"), 106}};
    row.paid = 281;
    row.orders = 488;
    row.exchanges = 7097;
    row.faulted = 1842;
    row.faults = {{QStringLiteral("not-json"), 62},
                  {QStringLiteral("late-create"), 3},
                  {QStringLiteral("lost"), 40},
                  {QStringLiteral("down"), 30}};
    row.perturbations = QStringLiteral("queue locked 98, SIGKILL 43");
    return row;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

TEST(RunsTableRow, SaysTheRunInTheTablesColumns)
{
    struct Case
    {
        const char *what;
        void (*change)(RunsTableRow &);
        const char *expected;
    };
    // clang-format off
    const Case cases[] = {
        {"a run of the defaults", [](RunsTableRow &) {},
         "| seed 20261209, 1000 operations, 8 tills, chaos 25 % | 400 s | 604 sales (281 paid), 181 refunds, 109 cancellations, 106 replays; 488 orders | 7097, 1842 | 3 kinds, 3 to 62 each (not-json 62 ... late-create 3); 30 down windows | queue locked 98, SIGKILL 43 | 0 | 0 |"},
        {"stopped at its time limit, other settings, a note with a bar, orders left",
         [](RunsTableRow &row) {
             row.issued = 850;
             row.settings.lockPercent = 60;
             row.settings.quitSignal = false;
             row.note = QStringLiteral("the plug-in of 1a|2b");
             row.faults.clear();
             row.leftToHost = QStringList{QStringLiteral("scoring"), QStringLiteral("approved"), QStringLiteral("scoring")};
             row.leftQueued = 4;
             row.discrepancies = 2;
         },
         "| seed 20261209, 850 operations (of 1000 asked, time limit), 8 tills, chaos 25 %, queue locked at 60 %, without SIGQUIT (the plug-in of 1a\\|2b) | 400 s | 604 sales (281 paid), 181 refunds, 109 cancellations, 106 replays; 488 orders | 7097, 1842 | none; 0 down windows | queue locked 98, SIGKILL 43 | 3 (2 scoring, 1 approved, 4 cancellations of orders never held left queued) | 2 |"},
    };
    // clang-format on
    for (const Case &testCase : cases) {
        RunsTableRow row = sampleRow();
        testCase.change(row);
        EXPECT_EQ(row.markdown().toStdString(), testCase.expected) << testCase.what;
    }
}

TEST(RunsTableRow, GoesFirstBetweenTheMarkersAndLeavesTheRestAsItWas)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString page = dir.filePath(QStringLiteral("reliability.md"));
    const QByteArray before = "# Reliability\n\nRuns write between `<!-- soak:begin -->` and its "
                              "end; a line may end in <!-- soak:begin -->\n\n"
                              "<!-- soak:begin -->\n| run | time |\n|---|---|\n| older | 1 s |\n";
    const QByteArray after = "<!-- soak:end -->\n\nWhat the runs saw. <!-- soak:end -->\n";
    ASSERT_TRUE(writeAll(page, before + after));

    RunsTableRow first = sampleRow();
    first.settings.seed = 1;
    RunsTableRow second = sampleRow();
    second.settings.seed = 2;
    QString error;
    ASSERT_TRUE(first.insertInto(page, &error)) << error.toStdString();
    ASSERT_TRUE(second.insertInto(page, &error)) << error.toStdString();

    const QByteArray head = "# Reliability\n\nRuns write between `<!-- soak:begin -->` and its "
                            "end; a line may end in <!-- soak:begin -->\n\n"
                            "<!-- soak:begin -->\n| run | time |\n|---|---|\n";
    EXPECT_EQ(readAll(page).toStdString(),
              (head + second.markdown().toUtf8() + '\n' + first.markdown().toUtf8() +
               "\n| older | 1 s |\n" + after)
                  .toStdString());
}

TEST(RunsTableRow, LeavesAPageWithoutItsPlaceAlone)
{
    // clang-format off
    const char *const pages[] = {
        "# No markers\n\n| run | time |\n|---|---|\n",
        "<!-- soak:begin -->\n| run | time |\n|---|---|\n",
        "<!-- soak:end -->\n<!-- soak:begin -->\n| run | time |\n|---|---|\n",
        "quoted `<!-- soak:begin -->`\n| run | time |\n|---|---|\n<!-- soak:end -->\n",
        "<!-- soak:begin -->\nno table here\n<!-- soak:end -->\n",
        "<!-- faultmatrix:begin -->\n| run | time |\n|---|---|\n<!-- faultmatrix:end -->\n",
    };
    // clang-format on
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char *text : pages) {
        const QString page = dir.filePath(QStringLiteral("page.md"));
        ASSERT_TRUE(writeAll(page, text));
        QString error;
        EXPECT_FALSE(sampleRow().insertInto(page, &error)) << text;
        EXPECT_FALSE(error.isEmpty()) << text;
        EXPECT_EQ(readAll(page).toStdString(), text);
    }
    QString error;
    EXPECT_FALSE(sampleRow().insertInto(dir.filePath(QStringLiteral("missing.md")), &error));
}

} // namespace
