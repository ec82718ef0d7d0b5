#include "PyStop.h"

namespace orbench::python {

bool TPythonStop::StopRequested()
{
    if (FRaised) return true;
    const auto Now = std::chrono::steady_clock::now();
    if (Now - FLastAsked < std::chrono::milliseconds(50)) return false;
    FLastAsked = Now;
    const pybind11::gil_scoped_acquire Gil;
    if (PyErr_CheckSignals() == 0) return false;
    PyObject *Type = nullptr, *Value = nullptr, *Trace = nullptr;
    PyErr_Fetch(&Type, &Value, &Trace);
    FType = pybind11::reinterpret_steal<pybind11::object>(Type);
    FValue = pybind11::reinterpret_steal<pybind11::object>(Value);
    FTrace = pybind11::reinterpret_steal<pybind11::object>(Trace);
    FRaised = true;
    return true;
}

void TPythonStop::CheckPoint()
{
    if (StopRequested()) throw EPythonSignal{};
}

void TPythonStop::RaiseKept()
{
    if (!FRaised) return;
    FRaised = false;
    PyErr_Restore(FType.release().ptr(), FValue.release().ptr(), FTrace.release().ptr());
    throw pybind11::error_already_set();
}

}  // namespace orbench::python
