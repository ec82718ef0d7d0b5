#include "CliStop.h"

#include <atomic>
#include <csignal>

namespace orbench::cli {

namespace {

volatile std::sig_atomic_t StopFlag = 0;

extern "C" void OnInterrupt(int)
{
    StopFlag = 1;
    std::signal(SIGINT, SIG_DFL);
}

}  // namespace

TStopRequestScope::TStopRequestScope()
{
    StopFlag = 0;
    std::signal(SIGINT, OnInterrupt);
}

TStopRequestScope::~TStopRequestScope() { std::signal(SIGINT, SIG_DFL); }

bool CliStopRequested()
{
    std::atomic_signal_fence(std::memory_order_acquire);
    return StopFlag != 0;
}

}  // namespace orbench::cli
