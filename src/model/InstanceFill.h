#pragma once

#include "Model.h"

namespace orbench {

// What a front end wants to hear while the main window's loop fills instances.
class TFillObserver {
public:
    virtual ~TFillObserver() = default;
    // A new (still empty) instance was appended at position Index of the case mix's Instances.
    virtual void InstanceAdded(int Index) { (void)Index; }
    // Called after every 100th accepted surgery, so that a window can stay responsive.
    virtual void ProcessEvents() {}
};

// The main window's "Generate instance(s)": k instances of n OR-days for the desired load L with
// capacity c minutes, each filled with surgeries of case-mix type CaseMixType up to (never beyond)
// the target workload n * L * c; an instance ends when its target is reached or after the fifth
// draw that would have overshot it. False (after the message "This instance has no surgery types.
// Exiting.", leaving the empty instance just made) when the case-mix type has no surgery types.
bool GenerateAndAddInstances(TCaseMix& M, int CaseMixType, int k, int n, double c, double L,
                             TFillObserver* Observer = nullptr);

}  // namespace orbench
