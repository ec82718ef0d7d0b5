#pragma once

// Ctrl-C in long calls. A long call releases the GIL; its check points ask StopRequested(), which
// at most every 50 ms takes the GIL back and lets Python run its signal handlers. When a handler
// raises (KeyboardInterrupt for Ctrl-C), the exception is kept, the call is abandoned by throwing
// EPythonSignal, and the binding raises the kept exception once the GIL is held again.

#include <pybind11/pybind11.h>

#include <chrono>

namespace orbench::python {

// The Python exception a signal handler raised, on its way out of a long call.
struct EPythonSignal {};

class TPythonStop {
public:
    // Whether a signal handler raised; asks Python at most every 50 ms. Called without the GIL.
    bool StopRequested();
    // Throws EPythonSignal when a signal handler raised.
    void CheckPoint();
    // Raises the kept exception in Python (with the GIL held); nothing when none was kept.
    void RaiseKept();

private:
    std::chrono::steady_clock::time_point FLastAsked{};
    pybind11::object FType, FValue, FTrace;
    bool FRaised = false;
};

}  // namespace orbench::python
