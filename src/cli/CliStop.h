#pragma once

namespace orbench::cli {

// Ctrl-C (SIGINT) as a stop request: while a TStopRequestScope lives, the first Ctrl-C only sets
// the flag that CliStopRequested reads at the run's next check point; a second one ends the
// program at once.
class TStopRequestScope {
public:
    TStopRequestScope();
    ~TStopRequestScope();
    TStopRequestScope(const TStopRequestScope&) = delete;
    TStopRequestScope& operator=(const TStopRequestScope&) = delete;
};

// Whether Ctrl-C was pressed since the scope began. Safe to call from any thread.
bool CliStopRequested();

// Thrown at a check point of a command that was stopped; the program ends with exit code 130.
struct ECliStopped {};

}  // namespace orbench::cli
