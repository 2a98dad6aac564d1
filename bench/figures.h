#pragma once

#include <QtGlobal>

class BenchContext;
class QString;
class QStringList;
class ResultTable;

// Each figure measures itself next to its baseline and adds its row to the table.

// 1 and 20: a whole sale through the loaded plug-in against the same exchanges by bare
// libcurl, with the journal in memory; and with the journal on the disk against that sale
// plus two bare durable writes.
void runSaleFigure(BenchContext &context, ResultTable &table);
// 2: the client's status poll over HTTPS against the same poll by bare libcurl.
void runTlsPollFigure(BenchContext &context, ResultTable &table);
// 3, 4 and 17: the poll schedule of a wait at 1 s, the CPU time the wait costs, and that
// time for an hour's wait at the default interval.
void runScheduleFigures(BenchContext &context, ResultTable &table);
// 5: the cashier's interrupt until the payment returns.
void runInterruptFigure(BenchContext &context, ResultTable &table);
// 11: the cashier's cancellation while a status poll hangs, against its bare round trip.
void runHungPollCancelFigure(BenchContext &context, ResultTable &table);
// 6: the replay of queued cancellations and refunds.
void runReplayFigure(BenchContext &context, ResultTable &table);
// 7, 8 and 16: building the create body, and the durable queue insert (Google Benchmark).
void runMicroFigures(BenchContext &context, ResultTable &table);
// 9: loading the plug-in against loading a trivial one, each in a fresh process of this
// program started with the arguments that isLoadChild() recognises.
void runLoadFigure(BenchContext &context, ResultTable &table);
bool isLoadChild(int argc, char **argv);
// The same load in a fresh process, with the plug-in's journal and the host's queue at the
// paths given: nanoseconds, -1 when it failed.
qint64 timePluginStart(const QString &journalPath, const QString &queuePath);
int runLoadChild(const QStringList &arguments);
// 10: resident memory over many sales.
void runMemoryFigure(BenchContext &context, ResultTable &table);
// 12 and 13: `till queue` over a long queue, its time and its peak memory, against a bare
// SQLite scan run the same way; the scan is this program started with the arguments that
// isScanChild() recognises.
void runQueueListingFigures(BenchContext &context, ResultTable &table);
bool isScanChild(int argc, char **argv);
int runScanChild(int argc, char **argv);
// 14: the durable queue insert with a long queue behind it, against an empty queue.
void runEnqueueFigure(BenchContext &context, ResultTable &table);
// 15: `till replay` per message at the head of a long queue, against a short one.
void runLongReplayFigure(BenchContext &context, ResultTable &table);
// 18, 19 and 21: the journal's file after many sales, the time to find the entries that
// tills which ended left open, and a host's start with many of them.
void runJournalFigures(BenchContext &context, ResultTable &table);
