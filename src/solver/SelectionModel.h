// The selection as a mixed-integer program, for the solver engine.
//
// Problem. Choose y of N instances so that the largest overlap among the chosen, the diagonal
// entries included and never below 0, is smallest (see Selection.h). Output: the program; CBC
// solves it through LpSolver.h, and its optimum z is that smallest largest overlap, the chosen
// instances those with s(i) = 1.
//
// Model. A binary s(i) per instance, a binary b(i, j) per ordered pair (diagonal included) that
// stands for the product s(i) s(j) by the standard linearisation of a product of binaries (Glover
// and Woolsey 1974, "Converting the 0-1 polynomial programming problem to a 0-1 linear program"),
// and the bottleneck written as a minimised bound z >= O(i, j) b(i, j).
//
// Why it is correct. With s binary and sum s = y: b <= s(i) and b <= s(j) force b(i, j) = 0
// unless both are chosen, and b - s(i) - s(j) >= -1 forces b(i, j) = 1 when both are (b(i, i) = 1
// for a chosen i). So the rows O(i, j) b - z <= 0 say that z is at least every entry among the
// chosen, and z >= 0 by its bound: the least z is the value of the best set.
//
// Cost. N^2 + N + 1 columns (N^2 + N of them binary), 4 N^2 + 1 rows and 9 N^2 entries, built in
// O(N^2) time and memory; solving it is a branch and cut, exponential in the worst case.
//
// See docs/engines.md, "Selection MIP".

#pragma once

#include "LpSolver.h"
#include "Model.h"

namespace orbench {

// The selection MIP for y of N instances: columns z, s(i), b(i, j); rows sum s = y, then the
// blocks b - s(i) <= 0, b - s(j) <= 0, b - s(i) - s(j) >= -1 and O(i, j) b - z <= 0; minimise z.
// N^2 + N + 1 columns, 4 N^2 + 1 rows, 9 N^2 entries.
TLinearProgram BuildMinOverlapModel(const DoubDoubArray& Overlap, int N, int y);

}  // namespace orbench
