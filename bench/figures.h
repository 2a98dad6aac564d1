#pragma once

class BenchContext;
class QStringList;
class ResultTable;

// Each figure measures itself next to its baseline and adds its row to the table.

// 1: a whole sale through the loaded plug-in against the same exchanges by bare libcurl.
void runSaleFigure(BenchContext &context, ResultTable &table);
// 2: a status poll over HTTPS against the same poll over HTTP.
void runTlsPollFigure(BenchContext &context, ResultTable &table);
// 3 and 4: the poll schedule of a wait at 1 s, and the CPU time the wait costs.
void runScheduleFigures(BenchContext &context, ResultTable &table);
// 5: the cashier's interrupt until the payment returns.
void runInterruptFigure(BenchContext &context, ResultTable &table);
// 11: the cashier's cancellation while a status poll hangs, against its bare round trip.
void runHungPollCancelFigure(BenchContext &context, ResultTable &table);
// 6: the replay of queued cancellations and refunds.
void runReplayFigure(BenchContext &context, ResultTable &table);
// 7 and 8: building the create body, and the durable queue insert (Google Benchmark).
void runMicroFigures(BenchContext &context, ResultTable &table);
// 9: loading the plug-in against loading a trivial one, each in a fresh process of this
// program started with the arguments that isLoadChild() recognises.
void runLoadFigure(BenchContext &context, ResultTable &table);
bool isLoadChild(int argc, char **argv);
int runLoadChild(const QStringList &arguments);
// 10: resident memory over many sales.
void runMemoryFigure(BenchContext &context, ResultTable &table);
