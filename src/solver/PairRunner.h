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
