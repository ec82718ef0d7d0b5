#pragma once

#include "LpSolver.h"
#include "Model.h"

namespace orbench {

// The selection MIP for y of N instances: columns z, s(i), b(i, j); rows sum s = y, then the
// blocks b - s(i) <= 0, b - s(j) <= 0, b - s(i) - s(j) >= -1 and O(i, j) b - z <= 0; minimise z.
// N^2 + N + 1 columns, 4 N^2 + 1 rows, 9 N^2 entries.
TLinearProgram BuildMinOverlapModel(const DoubDoubArray& Overlap, int N, int y);

}  // namespace orbench
