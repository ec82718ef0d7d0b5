// The selection MIP of SelectionModel.h, column by column: z with its entries in the last block,
// then s(i) for each instance with its entries in the row sum s = y and in the three linearisation
// blocks, then b(i, j) with one entry in each of the four blocks. Rows: 0 the sum, then four
// blocks of N^2 rows, row 1 + k N^2 + i N + j for block k and pair (i, j). See docs/engines.md,
// "Selection MIP".

#include "SelectionModel.h"

namespace orbench {

TLinearProgram BuildMinOverlapModel(const DoubDoubArray& Overlap, int N, int y)
{
    const int NN = N * N;
    auto Block = [&](int k, int i, int j) { return 1 + k * NN + i * N + j; };
    TLinearProgram P;
    P.Name = "minoverlap.lp";
    P.NumCols = NN + N + 1;
    P.NumRows = 4 * NN + 1;
    P.ObjSense = 1;
    P.Rhs.assign(static_cast<std::size_t>(P.NumRows), 0.0);
    P.Sense.assign(static_cast<std::size_t>(P.NumRows), 'L');
    P.Rhs[0] = y;
    P.Sense[0] = 'E';
    for (int r = 0; r < NN; ++r) {
        P.Sense[static_cast<std::size_t>(1 + 2 * NN + r)] = 'G';
        P.Rhs[static_cast<std::size_t>(1 + 2 * NN + r)] = -1;
    }
    auto StartColumn = [&](double Objective, double Lower, double Upper, char Type) {
        P.Obj.push_back(Objective);
        P.Lb.push_back(Lower);
        P.Ub.push_back(Upper);
        P.ColType.push_back(Type);
        P.MatBeg.push_back(static_cast<int>(P.MatInd.size()));
        P.MatCnt.push_back(0);
    };
    auto Entry = [&](int Row, double Value) {
        P.MatInd.push_back(Row);
        P.MatVal.push_back(Value);
        ++P.MatCnt.back();
    };

    StartColumn(1, 0, 2147483647.0, 'C');  // z
    for (int r = 0; r < NN; ++r) Entry(1 + 3 * NN + r, -1);
    for (int i = 0; i < N; ++i) {  // s(i)
        StartColumn(0, 0, 1, 'B');
        Entry(0, 1);
        for (int j = 0; j < N; ++j) Entry(Block(0, i, j), -1);
        for (int p = 0; p < N; ++p) Entry(Block(1, p, i), -1);
        for (int p = 0; p < N; ++p)
            for (int q = 0; q < N; ++q)
                if (p == i || q == i) Entry(Block(2, p, q), p == q ? -2 : -1);
    }
    for (int i = 0; i < N; ++i)  // b(i, j)
        for (int j = 0; j < N; ++j) {
            StartColumn(0, 0, 1, 'B');
            Entry(Block(0, i, j), 1);
            Entry(Block(1, i, j), 1);
            Entry(Block(2, i, j), 1);
            Entry(Block(3, i, j), Overlap[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]);
        }
    return P;
}

}  // namespace orbench
