#pragma once

#include <string>
#include <utility>
#include <vector>

#include "Model.h"
#include "Notifier.h"
#include "NumberFormat.h"

namespace orbench::testing {

// A fresh directory under the system's temporary directory, removed with its content at the end.
class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    const std::string& Path() const { return FPath; }
    // Path() + "/" + Name
    std::string File(const std::string& Name) const;

private:
    std::string FPath;
};

// Collects the messages the model shows.
class TRecordingNotifier : public TNotifier {
public:
    void ShowMessage(TMessageKind Kind, const std::string& Text) override { Messages.emplace_back(Kind, Text); }
    std::vector<std::pair<TMessageKind, std::string>> Messages;
    std::vector<std::string> Texts() const;
};

// Sets the program's decimal separator for the lifetime of the guard.
class TDecimalSeparatorGuard {
public:
    explicit TDecimalSeparatorGuard(char Separator) : FOld(DecimalSeparator()) { SetDecimalSeparator(Separator); }
    ~TDecimalSeparatorGuard() { SetDecimalSeparator(FOld); }

private:
    char FOld;
};

// Writes Lines joined by CR LF (each line, the last included, ends with CR LF).
void WriteLines(const std::string& FileName, const std::vector<std::string>& Lines);
// The whole content of a file as bytes.
std::string ReadAll(const std::string& FileName);

// A distribution of the given kind and parameters (minutes unless Unit says otherwise).
TDistribution MakeDistribution(DistributionTp Kind, double P1, double P2, double P3 = 0, TTimeUnitTp Unit = uMins);

}  // namespace orbench::testing
