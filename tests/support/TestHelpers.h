#pragma once

#include <cstdint>
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

// The lines of an instance file: its characteristics, then one surgery per parameter text
// "P1\tP2\tP3", numbered from 1.
std::vector<std::string> InstanceFileLines(const std::string& CaseMix, const std::string& ORdays,
                                           const std::string& DesiredLoad, const std::string& Load,
                                           const std::string& Capacity, const std::vector<std::string>& Surgeries);

// The program's generator written out once more, as a reference: the state after a number of
// draws from the start-up seed.
struct TLcg {
    std::uint32_t S = 12345;
    double U()
    {
        S = S * 134775813u + 1u;
        return S / 4294967296.0;
    }
    TLcg& Skip(int N)
    {
        while (N-- > 0) U();
        return *this;
    }
};

// A distribution of the given kind and parameters (minutes unless Unit says otherwise).
TDistribution MakeDistribution(DistributionTp Kind, double P1, double P2, double P3 = 0, TTimeUnitTp Unit = uMins);

}  // namespace orbench::testing
