#pragma once

// What the module computes on instances: overlap, selection, duration scenarios, statistics, and
// batch runs into an output tree.

#include <pybind11/functional.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <optional>
#include <string>
#include <vector>

#include "PyModel.h"

namespace orbench::python {

py::array_t<double> OverlapMatrix(const std::vector<TPyInstance>& Instances, double Epsilon, bool Deterministic,
                                  const std::string& Engine);
py::tuple Select(const py::array_t<double, py::array::c_style | py::array::forcecast>& Matrix, int K,
                 std::optional<double> TimeLimit, const std::string& Engine);
py::array_t<double> Sample(const std::vector<TPyInstance>& Instances, int Scenarios, const py::int_& Seed,
                           std::optional<int> Decimals);
py::list Stats(const std::vector<TPyInstance>& Instances, bool Summary);

// The batch settings as keyword arguments; Theoretical: the run over the case-mix types 0..16.
struct TBatchArguments {
    std::vector<py::object> CaseMixes;  // paths, or case mixes read from files
    std::string Out;
    std::vector<int> OrDays;
    std::vector<double> Loads;
    int PerCombination = 0;
    double Deviation = 0;
    int Select = 0;
    double Epsilon = 0;
    bool Deterministic = false;
    bool Analyze = true;
    bool KeepAll = false;
    bool Save = true;
    std::string Engine;
    bool Overwrite = false;
    int MaxDraws = 0;
    py::int_ Seed;
    double Capacity = 0;
    std::function<void(const std::string&)> OnMessage;
};
py::dict RunBatch(const TBatchArguments& Arguments, bool Theoretical);

}  // namespace orbench::python
