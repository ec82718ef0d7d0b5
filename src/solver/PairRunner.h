// Running the pairs of an analysis on several threads.
//
// Problem. Call a function once for every pair (a, b), a < b, of N items, spread over worker
// threads; hand the finished rows a = 0 .. N - 2 to the caller in order while later rows still
// run; ask the caller about a stop; and end cleanly, every thread joined, on a stop or an error.
//
// Algorithm. Self-scheduling (Tang and Yew 1986; by chunks, Kruskal and Weiss 1985): the pairs are
// numbered in row-major order and a shared atomic counter hands the next chunk of pairs, or the
// next whole row, to whichever thread asks. Each row counts its unfinished pairs; the caller's
// thread reports row after row as their counts reach zero, polls StopRequested between its own
// chunks (it works on pairs too when asked to) and otherwise waits on a condition variable with a
// 50 ms timeout. RunPolled does the polling alone for one piece of work run on a thread of its own.
//
// Why it is correct. Each chunk is taken by one fetch-and-add, so every pair runs exactly once; a
// row is reported only after all of its pairs have finished, and rows are reported in increasing
// order. The first error is kept, the other threads stop before their next pair, and it is
// rethrown once all of them have been joined; a stop is turned into EStopRequested the same way.
//
// Cost. N (N - 1) / 2 calls of the pair function, one atomic increment per chunk (or per row) and
// one per finished pair; memory O(N) for the rows' starts and counters.
//
// See docs/engines.md, "Running the pairs".

#pragma once

#include <atomic>
#include <functional>

#include "Overlap.h"

namespace orbench {

// Work on the pairs (a, b), a < b, of N items, spread over worker threads in row-major order.
// The caller's thread hands out the finished rows in order (RowDone) and asks
// Settings.StopRequested about every 50 ms; a stop raises the stop flag, which the workers test
// after every pair (and which a running LP or MIP may watch), and ends Run with EStopRequested
// once every worker has finished.
class TPairRunner {
public:
    using TPairWork = std::function<void(int a, int b, int Worker)>;
    using TRowWork = std::function<void(int a, int Worker)>;

    TPairRunner(int N, const TOverlapSettings& Settings);
    // Everything on the caller's thread (still polling between pairs).
    void SetInline(bool Inline) { FInline = Inline; }
    // Pairs taken at a time by a worker, or (0) whole rows, each begun with RowBegin.
    void SetChunk(int Chunk) { FChunk = Chunk < 0 ? 0 : Chunk; }
    // The number of worker slots: Pair's Worker argument lies in 0 .. Workers() - 1.
    int Workers() const { return FThreads; }
    const std::atomic<bool>& StopFlag() const { return FStop; }

    // Runs Pair for every pair; rethrows the first error of a pair, or of RowDone or
    // StopRequested (after stopping the workers).
    void Run(const TPairWork& Pair, const TOverlapRowDone& RowDone, const TRowWork& RowBegin = {});

private:
    int FN;
    int FThreads;
    bool FInline = false;
    int FChunk = 1;
    // Whether the caller's thread also works on pairs (the exact engine, whose pairs are short);
    // with the solver engine it only waits, polls and hands out rows.
    bool FCallerWorks;
    std::function<bool()> FStopRequested;
    std::atomic<bool> FStop{false};
};

// Runs Work on a thread of its own while the caller's thread asks StopRequested about every 50 ms;
// a stop raises Stop (which Work is expected to watch). Returns when Work has finished, rethrowing
// its error; Stop tells the caller whether a stop was asked for.
void RunPolled(const std::function<void()>& Work, const std::function<bool()>& StopRequested, std::atomic<bool>& Stop);

}  // namespace orbench
