// A batch host for tests: records what a run shows and can ask for a stop.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "BatchRun.h"

namespace orbench::testing {

// Records what a run shows; asks for a stop from the StopAt-th check (CheckPoint or StopRequested)
// on, and the request then stays.
class TRecordingHost : public TBatchHost {
public:
    void AddMessage(const std::string& Message) override { Messages.push_back(Message); }
    void ShowProgress(int Maximum) override { Progress.push_back("show " + std::to_string(Maximum)); }
    void AdvanceProgress() override { Progress.push_back("advance"); }
    void HideProgress() override { Progress.push_back("hide"); }
    bool CheckPoint() override
    {
        if (OnCheckPoint) OnCheckPoint();
        return StopRequested();
    }
    bool StopRequested() override { return Stop = Stop || (StopAt > 0 && ++Checks >= StopAt); }
    void RunEnded(const TBatchResult& Result) override
    {
        Results.push_back(Result);
        Summaries.push_back(RunSummary(Result));
    }

    int StopAt = 0, Checks = 0;
    bool Stop = false;
    std::function<void()> OnCheckPoint;
    std::vector<std::string> Messages, Progress, Summaries;
    std::vector<TBatchResult> Results;
};

}  // namespace orbench::testing
