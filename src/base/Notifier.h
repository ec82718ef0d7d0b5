#pragma once

#include <string>

namespace orbench {

enum class TMessageKind { mInformation, mWarning, mError };

// Messages the model shows to the user ("File does not exist!", ...). The desktop program shows
// them in message boxes, the command line on stderr; tests collect them.
class TNotifier {
public:
    virtual ~TNotifier() = default;
    virtual void ShowMessage(TMessageKind Kind, const std::string& Text) = 0;
};

// Writes each message as one line on stderr.
class TStderrNotifier : public TNotifier {
public:
    void ShowMessage(TMessageKind Kind, const std::string& Text) override;
    static TStderrNotifier& Instance();
};

}  // namespace orbench
