// Linked into the test programs that solve: the program starts the solver once, before any
// solve, and closes it at exit; so do they.
#include <gtest/gtest.h>

#include "LpSolver.h"

namespace orbench {
namespace {

class TSolverEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(OpenSolverEnvironment()); }
    void TearDown() override { CloseSolverEnvironment(); }
};
[[maybe_unused]] ::testing::Environment* const SolverEnvironment =
    ::testing::AddGlobalTestEnvironment(new TSolverEnvironment);

}  // namespace
}  // namespace orbench
