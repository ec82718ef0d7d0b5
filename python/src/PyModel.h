#pragma once

// The module's model: case mixes and instances as Python sees them. Each case mix has a model root
// of its own (TData); its instances keep that root alive, so a Python object never outlives what
// it points to. Long calls hold the root's lock and run without the GIL.

#include <pybind11/pybind11.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Model.h"
#include "Notifier.h"
#include "PyStop.h"

namespace orbench::python {

namespace py = pybind11;

// The model's messages, kept for the call that caused them.
class TCollectingNotifier : public TNotifier {
public:
    std::string Subject;  // the file being read, named in front of each message
    std::vector<std::pair<TMessageKind, std::string>> Messages;
    void ShowMessage(TMessageKind Kind, const std::string& Text) override;
    // The messages of Kind and worse, one per line, taken out.
    std::string Take();
};

struct TModel {
    TCollectingNotifier Notifier;
    TData Data;
    std::mutex Busy;  // one call at a time works on the model
    TCaseMix* CaseMix = nullptr;
    TModel() { Data.Notifier = &Notifier; }
};

// The model's lock, waited for without the GIL: a call that holds the lock may take the GIL back
// (to look for Ctrl-C) while another waits for the lock.
std::unique_lock<std::mutex> LockModel(TModel& Model);

// A surgery type as plain values: minutes for mean and sd, the plane's X and Y.
struct TTypeInfo {
    int Id = 0;
    std::string Kind;
    double P1 = 0, P2 = 0, P3 = 0, Frequency = 0, Mean = 0, Sd = 0, X = 0, Y = 0;
    std::vector<int> CaseMixTypes;
};

// A surgery of an instance: its 1-based number in the instance file and its type's values.
struct TSurgeryInfo {
    int Number = 0;
    TTypeInfo Type;
};

TTypeInfo TypeInfo(const TSurgeryType& Type);

class TPyCaseMix {
public:
    std::shared_ptr<TModel> Model;
    const TCaseMix& CaseMix() const { return *Model->CaseMix; }
    std::vector<TTypeInfo> Types() const;
    void Write(const std::string& Path, int CaseMixType) const;
};

class TPyInstance {
public:
    std::shared_ptr<TModel> Model;  // declared first: freed after the instance
    std::shared_ptr<TInstance> Instance;
    std::vector<TSurgeryInfo> Surgeries() const;
    std::pair<double, double> CenterOfMass() const;
    void Write(const std::string& Path);
};

// Checks of arguments: each refusal (ValueError) names the keyword and the value.
[[noreturn]] void Refuse(const std::string& Keyword, const std::string& Value, const std::string& Reason);
std::string ValueText(double Value);
int AtLeast(int Value, const char* Keyword, int Minimum);
double Positive(double Value, const char* Keyword);
double NonNegative(double Value, const char* Keyword);
std::uint32_t SeedOf(const py::int_& Seed);
// FileNotFoundError "PATH: File does not exist!" as the command line words it.
void RequireInputFile(const std::string& Path);

// The model's messages of a call: warnings go to Python's warnings; after a failed read the
// messages become the error's text.
void WarnAbout(TModel& Model);

// Reads a case mix file into Model (FileNotFoundError, or ValueError with the model's messages).
TCaseMix& ReadCaseMixInto(TModel& Model, const std::string& Path, double Capacity);
TPyCaseMix ReadCaseMix(const std::string& Path, double Capacity);
TPyCaseMix TheoreticalCaseMix(const std::string& Name, double Capacity);
TPyInstance ReadInstance(const std::string& Path, const TPyCaseMix& CaseMix);
py::list Generate(const std::optional<TPyCaseMix>& CaseMix, int OrDays, const std::vector<double>& Loads, int PerLoad,
                  int CaseMixType, double Deviation, const py::int_& Seed, int MaxDraws, double Capacity);

// The instances as the model's list (not owning), all of one case mix; locks their model.
struct TInstanceSet {
    std::shared_ptr<TModel> Model;
    TInstanceList List{false};
    std::vector<const TInstance*> Pointers;
};
void CollectInstances(const std::vector<TPyInstance>& Instances, TInstanceSet& Set);

// The Python class DrawLimitError, raised with the instances made before the limit was passed.
void RegisterDrawLimitError(py::module_& Module);

}  // namespace orbench::python
