// The Python module "orbench" (imported as orbench._orbench; orbench/__init__.py is its face).
#include <pybind11/functional.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <filesystem>

#include "BatchSettings.h"
#include "InstanceExport.h"
#include "LpSolver.h"
#include "NumberFormat.h"
#include "OrbenchError.h"
#include "OutputFiles.h"
#include "ProgramVersion.h"
#include "PyAnalysis.h"
#include "PyModel.h"

namespace {

using namespace orbench;
using namespace orbench::python;
using TPath = std::filesystem::path;

std::string Repr(const TTypeInfo& T)
{
    return "SurgeryType(id=" + std::to_string(T.Id) + ", kind='" + T.Kind + "', mean=" + FormatFixed(T.Mean, 3) +
           ", sd=" + FormatFixed(T.Sd, 3) + ", x=" + FormatFixed(T.X, 4) + ", y=" + FormatFixed(T.Y, 4) + ")";
}

void TranslateErrors(std::exception_ptr Error)
{
    try {
        if (Error) std::rethrow_exception(Error);
    } catch (const EEarlierRunFiles& E) {
        PyErr_SetString(PyExc_FileExistsError, (E.Listing() + "; use overwrite=True to delete them first").c_str());
    } catch (const EOutputError& E) {
        PyErr_SetString(PyExc_OSError, E.what());
    } catch (const ERunInProgress& E) {
        PyErr_SetString(PyExc_RuntimeError, E.what());
    } catch (const EStopRequested&) {
        PyErr_SetNone(PyExc_KeyboardInterrupt);
    } catch (const EPythonSignal&) {
        PyErr_SetNone(PyExc_KeyboardInterrupt);
    } catch (const EOrbenchError& E) {
        PyErr_SetString(PyExc_ValueError, E.what());
    }
}

void BindModel(py::module_& M)
{
    py::class_<TTypeInfo>(M, "SurgeryType",
                          "A surgery type of a case mix: its distribution and its point in the plane.")
        .def_readonly("id", &TTypeInfo::Id, "The type's ID (from the case mix file).")
        .def_readonly("kind", &TTypeInfo::Kind, "The distribution's kind, as the case mix file names it.")
        .def_readonly("p1", &TTypeInfo::P1)
        .def_readonly("p2", &TTypeInfo::P2)
        .def_readonly("p3", &TTypeInfo::P3)
        .def_readonly("frequency", &TTypeInfo::Frequency, "The relative frequency (the frequencies add up to 1).")
        .def_readonly("mean", &TTypeInfo::Mean, "The mean duration in minutes.")
        .def_readonly("sd", &TTypeInfo::Sd, "The standard deviation of the duration in minutes.")
        .def_readonly("x", &TTypeInfo::X, "X = mean / OR-day capacity.")
        .def_readonly("y", &TTypeInfo::Y, "Y = coefficient of variation (sd / mean).")
        .def_readonly("case_mix_types", &TTypeInfo::CaseMixTypes, "The case-mix types 0..16 whose region holds it.")
        .def("__repr__", &Repr);

    py::class_<TSurgeryInfo>(M, "Surgery", "A surgery of an instance: its number in the file and its type's values.")
        .def_readonly("number", &TSurgeryInfo::Number, "1-based, the SurgNr of the instance file.")
        .def_property_readonly("type_id", [](const TSurgeryInfo& S) { return S.Type.Id; })
        .def_property_readonly("kind", [](const TSurgeryInfo& S) { return S.Type.Kind; })
        .def_property_readonly("p1", [](const TSurgeryInfo& S) { return S.Type.P1; })
        .def_property_readonly("p2", [](const TSurgeryInfo& S) { return S.Type.P2; })
        .def_property_readonly("p3", [](const TSurgeryInfo& S) { return S.Type.P3; })
        .def_property_readonly(
            "mean", [](const TSurgeryInfo& S) { return S.Type.Mean; }, "Minutes.")
        .def_property_readonly(
            "sd", [](const TSurgeryInfo& S) { return S.Type.Sd; }, "Minutes.")
        .def_property_readonly("x", [](const TSurgeryInfo& S) { return S.Type.X; })
        .def_property_readonly("y", [](const TSurgeryInfo& S) { return S.Type.Y; })
        .def("__repr__", [](const TSurgeryInfo& S) {
            return "Surgery(number=" + std::to_string(S.Number) + ", type_id=" + std::to_string(S.Type.Id) + ")";
        });

    py::class_<TPyCaseMix>(M, "CaseMix", "A case mix: surgery types with duration distributions and frequencies.")
        .def_property_readonly("name", [](const TPyCaseMix& C) { return C.CaseMix().Name; })
        .def_property_readonly(
            "file_name", [](const TPyCaseMix& C) { return C.CaseMix().FileName; },
            "The file it was read from; empty for a case mix made in memory.")
        .def_property_readonly(
            "capacity", [](const TPyCaseMix& C) { return C.CaseMix().CapacityORinMinutes; },
            "The OR-day capacity in minutes.")
        .def_property_readonly("types", &TPyCaseMix::Types, "The surgery types, in file order.")
        .def(
            "write", [](const TPyCaseMix& C, const TPath& Path, int Type) { C.Write(Path.string(), Type); },
            py::arg("path"), py::arg("case_mix_type") = 0,
            "Writes the case mix file (as orbench-cli casemix --write), restricted to the surgery types of "
            "case_mix_type (0: all).")
        .def("__len__", [](const TPyCaseMix& C) { return C.CaseMix().SurgeryTypes.size(); })
        .def("__repr__", [](const TPyCaseMix& C) {
            return "CaseMix(name='" + C.CaseMix().Name + "', types=" + std::to_string(C.CaseMix().SurgeryTypes.size()) +
                   ", capacity=" + FormatOptionNumber(C.CaseMix().CapacityORinMinutes) + ")";
        });

    py::class_<TPyInstance>(M, "Instance",
                            "An instance: a list of surgeries whose expected work fills OR-days at a load.")
        .def_property_readonly("name", [](const TPyInstance& I) { return I.Instance->Name; })
        .def_property_readonly(
            "file_name", [](const TPyInstance& I) { return I.Instance->FileName; },
            "The file it was read from or last written to; for a generated instance its name "
            "+ '.txt'.")
        .def_property_readonly("case_mix", [](const TPyInstance& I) { return TPyCaseMix{I.Model}; })
        .def_property_readonly("or_days", [](const TPyInstance& I) { return I.Instance->NumberOfORs; })
        .def_property_readonly("desired_load", [](const TPyInstance& I) { return I.Instance->DesiredLoad; })
        .def_property_readonly("load", [](const TPyInstance& I) { return I.Instance->Load; })
        .def_property_readonly("surgeries", &TPyInstance::Surgeries, "The surgeries, in file order.")
        .def_property_readonly("center_of_mass", &TPyInstance::CenterOfMass, "(X, Y) over the surgeries.")
        .def(
            "text", [](const TPyInstance& I) { return I.Instance->FileText(); },
            "The instance file's text (CR LF line ends), as write() writes it.")
        .def(
            "to_dict",
            [](const TPyInstance& I) {
                const std::unique_lock<std::mutex> Lock = LockModel(*I.Model);
                return py::module_::import("json").attr("loads")(InstancesJsonLines({I.Instance.get()}, ""));
            },
            "The instance as orbench-cli export --format json writes it: its fields and, per surgery, its type's "
            "kind, parameters, mean and sd in minutes, X and Y (docs/instance.schema.json).")
        .def(
            "write", [](TPyInstance& I, const TPath& Path) { I.Write(Path.string()); }, py::arg("path"),
            "Writes the instance file: the same bytes orbench-cli generate writes for it. The instance's "
            "file_name becomes path (as stats and to_dict then show it).")
        .def("__len__", [](const TPyInstance& I) { return I.Instance->Surgeries.size(); })
        .def("__repr__", [](const TPyInstance& I) {
            return "Instance(name='" + I.Instance->Name + "', or_days=" + std::to_string(I.Instance->NumberOfORs) +
                   ", load=" + FormatFixed(I.Instance->Load, 6) +
                   ", surgeries=" + std::to_string(I.Instance->Surgeries.size()) + ")";
        });

    M.def(
        "read_case_mix", [](const TPath& Path, double Capacity) { return ReadCaseMix(Path.string(), Capacity); },
        py::arg("path"), py::arg("capacity") = 480.0, "Reads a case mix file (OR-day capacity in minutes).");
    M.def("theoretical_case_mix", &TheoreticalCaseMix, py::arg("name") = "Theoretical case mix 0",
          py::arg("capacity") = 480.0,
          "The theoretical grid: one three-parameter lognormal surgery type per point X 0.01..0.99, Y 0..0.99 "
          "in steps of 0.01 (9,900 types).");
    M.def(
        "read_instance", [](const TPath& Path, const TPyCaseMix& C) { return ReadInstance(Path.string(), C); },
        py::arg("path"), py::arg("case_mix"),
        "Reads an instance file of case_mix; refuses a surgery line that matches no surgery type. The instance "
        "is named after its file (without .txt).");
    M.def("generate", &Generate, py::arg("case_mix"), py::arg("or_days"), py::arg("loads"), py::kw_only(),
          py::arg("per_load") = 30, py::arg("case_mix_type") = 0, py::arg("deviation") = 0.025,
          py::arg("seed") = py::int_(TUniformGenerator::DefaultSeed), py::arg("max_draws") = DefaultMaxDraws,
          py::arg("capacity") = 480.0,
          "Generates per_load instances for each load (in the order given) with the batch generator, as "
          "orbench-cli generate does with the same settings. case_mix=None makes the surgery types on the fly "
          "(case mix TCM<case_mix_type> of the given capacity). Raises DrawLimitError when the draw limit was "
          "passed.");
}

void BindAnalysis(py::module_& M)
{
    M.def("overlap_matrix", &OverlapMatrix, py::arg("instances"), py::kw_only(), py::arg("epsilon") = 0.01,
          py::arg("deterministic") = false, py::arg("engine") = "exact",
          "The N x N matrix of pairwise overlaps (orbench-cli overlap prints it with 5 decimals).");
    M.def("select", &Select, py::arg("matrix"), py::arg("k"), py::kw_only(), py::arg("time_limit") = py::none(),
          py::arg("engine") = "exact",
          "The k instances whose largest mutual overlap is smallest: (chosen positions, that overlap). Raises "
          "ValueError 'Cannot select K of N instances' when k is not smaller than N.");
    M.def("sample", &Sample, py::arg("instances"), py::arg("scenarios"), py::kw_only(),
          py::arg("seed") = py::int_(TUniformGenerator::DefaultSeed), py::arg("decimals") = 9,
          "Duration scenarios in minutes: one row per surgery of every instance (in order), one column per "
          "scenario. With decimals=9 the values are those orbench-cli sample writes; decimals=None gives full "
          "precision.");
    M.def("stats", &Stats, py::arg("instances"), py::kw_only(), py::arg("summary") = false,
          "One dict per instance with the columns of orbench-cli stats --csv (summary=True adds the row of all "
          "instances).");

    const TBatchSettings Defaults;
    const auto Batch = [](bool Theoretical) {
        return [Theoretical](const std::vector<py::object>& CaseMixes, const std::string& Out,
                             const std::vector<int>& OrDays, const std::vector<double>& Loads, int PerCombination,
                             double Deviation, int SelectK, double Epsilon, bool Deterministic, bool Analyze,
                             bool KeepAll, bool Save, const std::string& Engine, bool Overwrite, int MaxDraws,
                             const py::int_& Seed, double Capacity,
                             const std::function<void(const std::string&)>& OnMessage) {
            return RunBatch({CaseMixes, Out, OrDays, Loads, PerCombination, Deviation, SelectK, Epsilon, Deterministic,
                             Analyze, KeepAll, Save, Engine, Overwrite, MaxDraws, Seed, Capacity, OnMessage},
                            Theoretical);
        };
    };
    const auto BatchArguments = [&Defaults](auto&& Define) {
        Define(py::arg("out") = "instances", py::arg("or_days") = Defaults.NumORdays, py::arg("loads") = Defaults.Loads,
               py::arg("per_combination") = Defaults.NumInstancesPerLoad,
               py::arg("deviation") = Defaults.MaxAbsDeviationFromLoad,
               py::arg("select") = Defaults.NumInstancesToSelect, py::arg("epsilon") = Defaults.EpsilonDist,
               py::arg("deterministic") = false, py::arg("analyze") = true, py::arg("keep_all") = false,
               py::arg("save") = true, py::arg("engine") = "exact", py::arg("overwrite") = false,
               py::arg("max_draws") = Defaults.MaxDraws, py::arg("seed") = py::int_(TUniformGenerator::DefaultSeed),
               py::arg("capacity") = 480.0, py::arg("on_message") = py::none());
    };
    BatchArguments([&](auto... Args) {
        M.def("run_batch", Batch(false), py::arg("case_mixes"), py::kw_only(), Args...,
              "A batch run as orbench-cli batch: every case mix (paths or case mixes read from files) x every "
              "number of OR-days x the loads, generated into out/<case mix name>/, each combination analysed, "
              "the least overlapping kept and the others marked REMOVE_, reports and a manifest in every "
              "case-mix folder. Returns a dict: complete, draw_limit_passed, selection_refused, marking_failed, "
              "elapsed_seconds, files (counts), messages, summary. on_message(line) follows the run's "
              "messages.");
    });
    BatchArguments([&](auto... Args) {
        M.def(
            "run_theoretical_batch",
            [Batch](const std::string& Out, const std::vector<int>& OrDays, const std::vector<double>& Loads,
                    int PerCombination, double Deviation, int SelectK, double Epsilon, bool Deterministic, bool Analyze,
                    bool KeepAll, bool Save, const std::string& Engine, bool Overwrite, int MaxDraws,
                    const py::int_& Seed, double Capacity, const std::function<void(const std::string&)>& OnMessage) {
                return Batch(true)({}, Out, OrDays, Loads, PerCombination, Deviation, SelectK, Epsilon, Deterministic,
                                   Analyze, KeepAll, Save, Engine, Overwrite, MaxDraws, Seed, Capacity, OnMessage);
            },
            py::kw_only(), Args...,
            "The theoretical batch as orbench-cli theoretical-batch: case mixes TCM0..TCM16 made on the fly, "
            "with proximity reports. Returns the same dict as run_batch.");
    });
}

}  // namespace

PYBIND11_MODULE(_orbench, M)
{
    M.doc() = "Orbench: benchmark instances for operating-room scheduling.";
    M.attr("__version__") = ProgramVersion;
    SetDecimalSeparator(DetectLocaleDecimalSeparator());
    M.def(
        "set_decimal_separator",
        [](const std::string& Separator) {
            if (Separator != "." && Separator != ",") Refuse("decimal_separator", Separator, "must be . or ,");
            SetDecimalSeparator(Separator[0]);
        },
        py::arg("separator"),
        "'.' or ',': the separator of names, file names and numbers read from files (the "
        "default comes from the locale, as for orbench-cli).");
    M.def(
        "decimal_separator", [] { return std::string(1, DecimalSeparator()); },
        "The decimal separator now used for names, file names and numbers read from files.");
    py::register_exception_translator(&TranslateErrors);
    RegisterDrawLimitError(M);
    BindModel(M);
    BindAnalysis(M);
    if (OpenSolverEnvironment())
        py::module_::import("atexit").attr("register")(py::cpp_function(&CloseSolverEnvironment));
}
