#include "PairRunner.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "OrbenchError.h"

namespace orbench {

namespace {

using TClock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds PollInterval{50};

}  // namespace

TPairRunner::TPairRunner(int N, const TOverlapSettings& Settings)
    : FN(N),
      FThreads(Settings.Threads > 0 ? Settings.Threads : static_cast<int>(std::thread::hardware_concurrency())),
      FCallerWorks(Settings.Engine == TOverlapEngine::oeExact),
      FStopRequested(Settings.StopRequested)
{
    if (FThreads < 1) FThreads = 1;
}

void TPairRunner::Run(const TPairWork& Pair, const TOverlapRowDone& RowDone, const TRowWork& RowBegin)
{
    FStop = false;
    if (FN < 2) return;
    const int LastRow = FN - 2;
    const long long NumPairs = static_cast<long long>(FN) * (FN - 1) / 2;
    std::vector<long long> RowStart(static_cast<std::size_t>(LastRow) + 1);
    std::vector<std::atomic<int>> Remaining(static_cast<std::size_t>(LastRow) + 1);
    long long RowFirst = 0;
    for (int a = 0; a <= LastRow; RowFirst += FN - 1 - a, ++a) {
        RowStart[static_cast<std::size_t>(a)] = RowFirst;
        Remaining[static_cast<std::size_t>(a)] = FN - 1 - a;
    }

    std::atomic<long long> Next{0};
    std::atomic<bool> Abort{false};
    std::mutex Lock;
    std::condition_variable Changed;
    std::exception_ptr Error;
    const auto Notify = [&] {
        const std::lock_guard<std::mutex> Guard(Lock);
        Changed.notify_all();
    };

    // Pairs [Begin, End) in row-major order, starting at pair (a, b); false when work stopped.
    const auto WorkPairs = [&](int Slot, long long Begin, long long End, int a, int b) {
        for (long long k = Begin; k < End; ++k) {
            if (Abort || FStop) return false;
            try {
                if (RowBegin && FChunk == 0 && k == Begin) RowBegin(a, Slot);
                Pair(a, b, Slot);
            } catch (...) {
                {
                    const std::lock_guard<std::mutex> Guard(Lock);
                    if (!Error) Error = std::current_exception();
                }
                Abort = true;
                Notify();
                return false;
            }
            if (--Remaining[static_cast<std::size_t>(a)] == 0) Notify();
            if (++b == FN) b = ++a + 1;
        }
        return true;
    };
    // Takes the next chunk of pairs (or the next row); false when there is nothing (more) to do.
    const auto WorkChunk = [&](int Slot) {
        if (Abort || FStop) return false;
        if (FChunk == 0) {
            const long long Row = Next.fetch_add(1);
            if (Row > LastRow) return false;
            const int a = static_cast<int>(Row);
            const long long Begin = RowStart[static_cast<std::size_t>(a)];
            return WorkPairs(Slot, Begin, Begin + (FN - 1 - a), a, a + 1);
        }
        const long long Begin = Next.fetch_add(FChunk);
        if (Begin >= NumPairs) return false;
        const long long End = std::min(Begin + FChunk, NumPairs);
        const int a =
            static_cast<int>(std::upper_bound(RowStart.begin(), RowStart.end(), Begin) - RowStart.begin()) - 1;
        return WorkPairs(Slot, Begin, End, a, a + 1 + static_cast<int>(Begin - RowStart[static_cast<std::size_t>(a)]));
    };

    const bool CallerWorks = FInline || FCallerWorks;
    const int FirstThreadSlot = CallerWorks ? 1 : 0;
    const int Threads = FInline ? 0 : static_cast<int>(std::min<long long>(FThreads - FirstThreadSlot, NumPairs));
    std::vector<std::thread> Workers;
    const auto JoinAll = [&] {
        Abort = true;
        for (std::thread& Worker : Workers)
            if (Worker.joinable()) Worker.join();
    };
    try {
        for (int w = 0; w < Threads; ++w)
            Workers.emplace_back([&, Slot = FirstThreadSlot + w] {
                while (WorkChunk(Slot)) {}
            });

        TClock::time_point LastPoll = TClock::now();
        int NextRow = 0;
        while (NextRow <= LastRow && !Abort && !FStop) {
            if (!(CallerWorks && WorkChunk(0))) {
                std::unique_lock<std::mutex> Guard(Lock);
                Changed.wait_for(Guard, PollInterval,
                                 [&] { return Remaining[static_cast<std::size_t>(NextRow)] == 0 || Abort; });
            }
            while (NextRow <= LastRow && Remaining[static_cast<std::size_t>(NextRow)] == 0) {
                if (RowDone) RowDone(NextRow, LastRow);
                ++NextRow;
            }
            if (FStopRequested && TClock::now() - LastPoll >= PollInterval) {
                if (FStopRequested()) FStop = true;
                LastPoll = TClock::now();
            }
        }
    } catch (...) {
        JoinAll();
        throw;
    }
    JoinAll();
    if (FStop) throw EStopRequested();
    if (Error) std::rethrow_exception(Error);
}

void RunPolled(const std::function<void()>& Work, const std::function<bool()>& StopRequested, std::atomic<bool>& Stop)
{
    if (!StopRequested) {
        Work();
        return;
    }
    std::mutex Lock;
    std::condition_variable Finished;
    bool Done = false;
    std::exception_ptr Error;
    std::thread Worker([&] {
        try {
            Work();
        } catch (...) {
            Error = std::current_exception();
        }
        const std::lock_guard<std::mutex> Guard(Lock);
        Done = true;
        Finished.notify_all();
    });
    try {
        std::unique_lock<std::mutex> Guard(Lock);
        while (!Finished.wait_for(Guard, PollInterval, [&] { return Done; })) {
            Guard.unlock();
            if (!Stop && StopRequested()) Stop = true;
            Guard.lock();
        }
    } catch (...) {
        Stop = true;
        Worker.join();
        throw;
    }
    Worker.join();
    if (Error) std::rethrow_exception(Error);
}

}  // namespace orbench
