#include "PyModel.h"

#include <pybind11/stl.h>

#include <cmath>

#include "BatchSettings.h"
#include "FileUtils.h"
#include "NumberFormat.h"
#include "OrbenchError.h"
#include "TextUtils.h"

namespace orbench::python {

namespace {

py::handle DrawLimitErrorType;

[[noreturn]] void RaiseAs(PyObject* Type, const std::string& Message)
{
    PyErr_SetString(Type, Message.c_str());
    throw py::error_already_set();
}

std::shared_ptr<TModel> NewModel(double Capacity)
{
    Positive(Capacity, "capacity");
    return std::make_shared<TModel>();
}

}  // namespace

void RequireInputFile(const std::string& Path)
{
    if (Path.empty()) RaiseAs(PyExc_ValueError, "an input file name is empty");
    if (!PathExists(Path)) RaiseAs(PyExc_FileNotFoundError, Path + ": File does not exist!");
}

std::unique_lock<std::mutex> LockModel(TModel& Model)
{
    const py::gil_scoped_release Released;
    return std::unique_lock<std::mutex>(Model.Busy);
}

void TCollectingNotifier::ShowMessage(TMessageKind Kind, const std::string& Text)
{
    Messages.emplace_back(Kind, (Subject.empty() ? "" : Subject + ": ") + Text);
}

std::string TCollectingNotifier::Take()
{
    std::string Text;
    for (const auto& [Kind, Line] : Messages) Text += (Text.empty() ? "" : "\n") + Line;
    Messages.clear();
    return Text;
}

void WarnAbout(TModel& Model)
{
    for (const auto& [Kind, Line] : Model.Notifier.Messages)
        if (PyErr_WarnEx(PyExc_UserWarning, Line.c_str(), 1) != 0) throw py::error_already_set();
    Model.Notifier.Messages.clear();
}

[[noreturn]] void Refuse(const std::string& Keyword, const std::string& Value, const std::string& Reason)
{
    RaiseAs(PyExc_ValueError, Keyword + " " + ShortenForMessage(Value) + ": " + Reason);
}

std::string ValueText(double Value)
{
    if (std::isnan(Value)) return "nan";
    if (std::isinf(Value)) return Value > 0 ? "inf" : "-inf";
    return FormatOptionNumber(Value);
}

int AtLeast(int Value, const char* Keyword, int Minimum)
{
    if (Value < Minimum) Refuse(Keyword, std::to_string(Value), "must be at least " + std::to_string(Minimum));
    return Value;
}

double Positive(double Value, const char* Keyword)
{
    if (!std::isfinite(Value)) Refuse(Keyword, ValueText(Value), "not a finite number");
    if (!(Value > 0)) Refuse(Keyword, ValueText(Value), "must be greater than 0");
    return Value;
}

double NonNegative(double Value, const char* Keyword)
{
    if (!std::isfinite(Value)) Refuse(Keyword, ValueText(Value), "not a finite number");
    if (Value < 0) Refuse(Keyword, ValueText(Value), "must not be negative");
    return Value;
}

std::uint32_t SeedOf(const py::int_& Seed)
{
    // Any integer, taken modulo 2^32 as the command line takes it.
    return py::cast<std::uint32_t>(Seed.attr("__mod__")(py::int_(4294967296ULL)));
}

TTypeInfo TypeInfo(const TSurgeryType& Type)
{
    TDistribution& D = *Type.Distribution;
    TTypeInfo Info;
    Info.Id = Type.ID;
    Info.Kind = DistributionTypeToStr(D.DistributionType);
    Info.P1 = D.P1, Info.P2 = D.P2, Info.P3 = D.P3;
    Info.Frequency = Type.RelFrequency;
    Info.Mean = D.Expected * MinutesPerDay;
    Info.Sd = D.CalculateStdDev() * MinutesPerDay;
    Info.X = Type.Xvalue, Info.Y = Type.Yvalue;
    for (int t = 0; t < NumCaseMixTypes; ++t)
        if (Type.IsCaseMixType(t)) Info.CaseMixTypes.push_back(t);
    return Info;
}

std::vector<TTypeInfo> TPyCaseMix::Types() const
{
    const std::unique_lock<std::mutex> Lock = LockModel(*Model);
    std::vector<TTypeInfo> Types;
    for (const auto& Type : CaseMix().SurgeryTypes) Types.push_back(TypeInfo(*Type));
    return Types;
}

void TPyCaseMix::Write(const std::string& Path, int CaseMixType) const
{
    if (Path.empty()) RaiseAs(PyExc_ValueError, "path: the path is empty");
    if (CaseMixType < -1 || CaseMixType >= NumCaseMixTypes)
        Refuse("case_mix_type", std::to_string(CaseMixType), "must be from -1 to 16");
    const std::unique_lock<std::mutex> Lock = LockModel(*Model);
    Model->CaseMix->WriteCaseMix(Path, CaseMixType);
}

std::vector<TSurgeryInfo> TPyInstance::Surgeries() const
{
    const std::unique_lock<std::mutex> Lock = LockModel(*Model);
    std::vector<TSurgeryInfo> Surgeries;
    int Number = 0;
    for (const auto& Surgery : Instance->Surgeries) Surgeries.push_back({++Number, TypeInfo(*Surgery->SurgeryType)});
    return Surgeries;
}

std::pair<double, double> TPyInstance::CenterOfMass() const
{
    double X = 0, Y = 0;
    Instance->CenterOfMass(X, Y);
    return {X, Y};
}

void TPyInstance::Write(const std::string& Path)
{
    if (Path.empty()) RaiseAs(PyExc_ValueError, "path: the path is empty");
    const std::string Text = Instance->FileText();
    {
        const py::gil_scoped_release Released;
        WriteTextFile(Path, Text);
    }
    Instance->FileName = Path;
}

TCaseMix& ReadCaseMixInto(TModel& Model, const std::string& Path, double Capacity)
{
    RequireInputFile(Path);
    const std::size_t Before = Model.Data.CaseMixes.size();
    Model.Notifier.Subject = Path;
    Model.Data.ReadAndAddCaseMix(Path, Capacity);
    Model.Notifier.Subject.clear();
    if (Model.Data.CaseMixes.size() == Before) RaiseAs(PyExc_ValueError, Model.Notifier.Take());
    return *Model.Data.CaseMixes.back();
}

TPyCaseMix ReadCaseMix(const std::string& Path, double Capacity)
{
    std::shared_ptr<TModel> Model = NewModel(Capacity);
    Model->CaseMix = &ReadCaseMixInto(*Model, Path, Capacity);
    WarnAbout(*Model);
    return {Model};
}

TPyCaseMix TheoreticalCaseMix(const std::string& Name, double Capacity)
{
    std::shared_ptr<TModel> Model = NewModel(Capacity);
    Model->Data.GenerateAndAddTheoreticalCaseMix(Name, 0.01, 1, 0, 1, 0.01, 0.01, Capacity, 1);
    Model->CaseMix = Model->Data.CaseMixes.back().get();
    WarnAbout(*Model);
    return {Model};
}

TPyInstance ReadInstance(const std::string& Path, const TPyCaseMix& CaseMix)
{
    RequireInputFile(Path);
    TModel& Model = *CaseMix.Model;
    const std::unique_lock<std::mutex> Lock = LockModel(Model);
    TCaseMix* Target = nullptr;
    Model.Notifier.Subject = Path;
    Model.Data.ReadAndAddInstance(Path, Target);
    Model.Notifier.Subject.clear();
    if (Target == nullptr) RaiseAs(PyExc_ValueError, Model.Notifier.Take());
    // Taken out of the case mix's list at once: the instance is the Python object's own.
    std::shared_ptr<TInstance> Instance(Target->Instances.ExtractAt(Target->Instances.Count() - 1));
    Instance->FileName = Path;
    // The file holds no name of its own (its instance number is always 999999): the instance is
    // named after its file, as the generator named it.
    const std::string Base = Path.substr(Path.find_last_of('/') + 1);
    Instance->Name = Base.size() > 4 && Base.ends_with(".txt") ? Base.substr(0, Base.size() - 4) : Base;
    CheckEverySurgeryRead(Path, *Target);
    WarnAbout(Model);
    return {CaseMix.Model, Instance};
}

py::list Generate(const std::optional<TPyCaseMix>& CaseMix, int OrDays, const std::vector<double>& Loads, int PerLoad,
                  int CaseMixType, double Deviation, const py::int_& Seed, int MaxDraws, double Capacity)
{
    const bool OnTheFly = !CaseMix.has_value();
    if (CaseMixType < (OnTheFly ? 0 : -1) || CaseMixType >= NumCaseMixTypes)
        Refuse("case_mix_type", std::to_string(CaseMixType),
               OnTheFly ? "must be from 0 to 16 when the case mix is made on the fly" : "must be from -1 to 16");
    AtLeast(OrDays, "or_days", 1);
    for (const double Load : Loads) Positive(Load, "loads");
    AtLeast(PerLoad, "per_load", 1);
    Positive(Deviation, "deviation");
    AtLeast(MaxDraws, "max_draws", 1);
    const std::uint32_t SeedValue = SeedOf(Seed);

    std::shared_ptr<TModel> Model;
    if (OnTheFly) {
        Model = NewModel(Capacity);
        RequireFinitePointTypes(Capacity, SmallestDrawnX);
        Model->Data.CaseMixes.push_back(std::make_unique<TCaseMix>(&Model->Data, CaseMixType, Capacity));
        Model->CaseMix = Model->Data.CaseMixes.back().get();
        Model->CaseMix->Name = "TCM" + std::to_string(CaseMixType);
    } else {
        Model = CaseMix->Model;
    }
    const std::unique_lock<std::mutex> Lock = LockModel(*Model);
    TCaseMix& Target = *Model->CaseMix;
    if (!OnTheFly) RequireSurgeryTypesToDraw(Target, CaseMixType);
    // As a fresh run of the command line: the generator seeded, no instance in the case mix.
    Model->Data.Random.Seed(SeedValue);
    std::vector<std::shared_ptr<TInstance>> Made;
    const auto TakeMade = [&] {
        while (!Target.Instances.Empty()) Made.emplace_back(Target.Instances.ExtractAt(0));
    };
    TPythonStop Stop;
    bool Complete = true;
    std::string Explanation;
    bool Stopped = false;
    {
        const py::gil_scoped_release Released;
        try {
            Complete = Target.GenerateInstances(
                Loads, CaseMixType, PerLoad, OrDays, Deviation, false, "", OnTheFly,
                [&Stop](const TInstance&) { Stop.CheckPoint(); }, MaxDraws);
        } catch (const EPythonSignal&) {
            Stopped = true;
        } catch (...) {
            TakeMade();
            throw;
        }
        TakeMade();
        if (!Complete &&
            DrawLimitCause(Target, CaseMixType, OrDays, Loads, Deviation, Explanation) == TDrawLimitCause::dcDraws)
            Explanation =
                "the draw limit of " + std::to_string(MaxDraws) +
                " main draws per generation call was passed; raise it with max_draws or widen the load window "
                "with deviation";
    }
    if (Stopped) Stop.RaiseKept();
    py::list Result;
    for (const auto& Instance : Made) Result.append(TPyInstance{Model, Instance});
    WarnAbout(*Model);
    if (!Complete) {
        const py::object Error = DrawLimitErrorType("Could not generate all instances for case mix " + Target.Name +
                                                    ", #ORdays: " + std::to_string(OrDays) + "\n" + Explanation);
        Error.attr("instances") = Result;
        PyErr_SetObject(DrawLimitErrorType.ptr(), Error.ptr());
        throw py::error_already_set();
    }
    return Result;
}

void CollectInstances(const std::vector<TPyInstance>& Instances, TInstanceSet& Set)
{
    for (std::size_t i = 0; i < Instances.size(); ++i) {
        const TPyInstance& Instance = Instances[i];
        if (!Set.Model) Set.Model = Instance.Model;
        if (Instance.Model != Set.Model)
            RaiseAs(PyExc_ValueError, "the instances must all belong to one case mix (" + Set.Model->CaseMix->Name +
                                          "); instance " + std::to_string(i) + " (" + Instance.Instance->FileName +
                                          ") belongs to " + Instance.Model->CaseMix->Name);
        Set.List.Add(Instance.Instance.get());
        Set.Pointers.push_back(Instance.Instance.get());
    }
}

void RegisterDrawLimitError(py::module_& Module)
{
    static py::exception<std::runtime_error> Type(Module, "DrawLimitError", PyExc_RuntimeError);
    Type.doc() =
        "Generation passed its draw limit before every instance was found; the instances made before "
        "are in the attribute ``instances``.";
    DrawLimitErrorType = Type;
}

}  // namespace orbench::python
