#pragma once

#include <chrono>

#include "BatchRun.h"
#include "CliStop.h"

namespace orbench::cli {

// The command line's side of a batch run: message lines on stderr as they are added, a
// progress bar on stderr when it is a terminal, and Ctrl-C as the stop request (CliStop.h).
class TCliBatchHost : public TBatchHost {
public:
    TCliBatchHost();
    ~TCliBatchHost() override;
    TCliBatchHost(const TCliBatchHost&) = delete;
    TCliBatchHost& operator=(const TCliBatchHost&) = delete;

    void AddMessage(const std::string& Message) override;
    void ShowProgress(int Maximum) override;
    void AdvanceProgress() override;
    void HideProgress() override;
    bool CheckPoint() override;
    bool StopRequested() override;
    std::string DrawLimitAdvice() const override;
    std::function<void(double, double)> SelectionProgress() override;

private:
    void DrawBar();
    void ClearBar();

    TStopRequestScope FStopScope;
    bool FTerminal;
    bool FBarShown = false;
    bool FBarActive = false;
    int FMaximum = 0;
    int FDone = 0;
    std::chrono::steady_clock::time_point FStart;
};

}  // namespace orbench::cli
