#include "Selection.h"

#include <algorithm>
#include <bit>
#include <cstdint>

#include "OrbenchError.h"

namespace orbench {

namespace {

// A set of positions 0 .. N - 1.
class TBits {
public:
    explicit TBits(int N = 0) : FWords((static_cast<std::size_t>(N) + 63) / 64, 0) {}
    void Set(int i) { FWords[Word(i)] |= Mask(i); }
    void Clear(int i) { FWords[Word(i)] &= ~Mask(i); }
    bool Test(int i) const { return (FWords[Word(i)] & Mask(i)) != 0; }
    bool Any() const
    {
        for (std::uint64_t W : FWords)
            if (W != 0) return true;
        return false;
    }
    int Count() const
    {
        int n = 0;
        for (std::uint64_t W : FWords) n += std::popcount(W);
        return n;
    }
    int First() const
    {
        for (std::size_t k = 0; k < FWords.size(); ++k)
            if (FWords[k] != 0) return static_cast<int>(k * 64) + std::countr_zero(FWords[k]);
        return -1;
    }
    TBits& operator&=(const TBits& Other)
    {
        for (std::size_t k = 0; k < FWords.size(); ++k) FWords[k] &= Other.FWords[k];
        return *this;
    }
    void RemoveAll(const TBits& Other)
    {
        for (std::size_t k = 0; k < FWords.size(); ++k) FWords[k] &= ~Other.FWords[k];
    }

private:
    static std::size_t Word(int i) { return static_cast<std::size_t>(i) / 64; }
    static std::uint64_t Mask(int i) { return std::uint64_t{1} << (static_cast<unsigned>(i) % 64); }
    std::vector<std::uint64_t> FWords;
};

// The instances that may be chosen together when no overlap above the threshold is allowed: a
// compatibility graph, searched for cliques of the wanted size. Internally the vertices are
// numbered by decreasing degree, which makes the colouring bound of the search much tighter.
class TCliqueSearch {
public:
    TCliqueSearch(const DoubDoubArray& Overlap, int N, double Threshold)
        : FN(N), FAllowed(N), FAdjacent(N, TBits(N)), FOriginal(Pos(N)), FInternal(Pos(N))
    {
        std::vector<std::vector<char>> Compatible(Pos(N), std::vector<char>(Pos(N), 0));
        std::vector<int> Degree(Pos(N), 0);
        for (int i = 0; i < N; ++i)
            for (int j = i + 1; j < N; ++j)
                if (Overlap[Pos(i)][Pos(j)] <= Threshold && Overlap[Pos(j)][Pos(i)] <= Threshold) {
                    Compatible[Pos(i)][Pos(j)] = Compatible[Pos(j)][Pos(i)] = 1;
                    ++Degree[Pos(i)];
                    ++Degree[Pos(j)];
                }
        for (int i = 0; i < N; ++i) FOriginal[Pos(i)] = i;
        std::stable_sort(FOriginal.begin(), FOriginal.end(),
                         [&](int a, int b) { return Degree[Pos(a)] > Degree[Pos(b)]; });
        for (int k = 0; k < N; ++k) FInternal[Pos(FOriginal[Pos(k)])] = k;
        for (int i = 0; i < N; ++i) {
            if (Overlap[Pos(i)][Pos(i)] <= Threshold) FAllowed.Set(FInternal[Pos(i)]);
            for (int j = 0; j < N; ++j)
                if (Compatible[Pos(i)][Pos(j)]) FAdjacent[Pos(FInternal[Pos(i)])].Set(FInternal[Pos(j)]);
        }
    }

    bool Exists(int Size) const { return Expand(FAllowed, Size); }

    // The lexicographically smallest clique of the given size (ascending original positions);
    // empty when there is none. Picks each next position as the smallest one that still leaves a
    // clique of the size.
    std::vector<int> LexFirst(int Size) const
    {
        std::vector<int> Chosen;
        TBits Candidates = FAllowed;
        int Next = 0;  // original positions below Next are decided
        while (static_cast<int>(Chosen.size()) < Size) {
            const int Need = Size - static_cast<int>(Chosen.size());
            bool Placed = false;
            for (; Next < FN && !Placed; ++Next) {
                const int v = FInternal[Pos(Next)];
                if (!Candidates.Test(v)) continue;
                Candidates.Clear(v);
                TBits Rest = Candidates;
                Rest &= FAdjacent[Pos(v)];
                if (Expand(Rest, Need - 1)) {
                    Chosen.push_back(Next);
                    Candidates = Rest;
                    Placed = true;
                }
            }
            if (!Placed) return {};
        }
        return Chosen;
    }

private:
    static std::size_t Pos(int i) { return static_cast<std::size_t>(i); }

    // Whether Candidates hold a clique of Need vertices: branch and bound with the greedy
    // colouring bound, branching on the vertices of the highest colours first.
    bool Expand(TBits Candidates, int Need) const
    {
        if (Need <= 0) return true;
        if (Candidates.Count() < Need) return false;
        std::vector<int> Order;
        std::vector<int> Colour;
        ColourSort(Candidates, Order, Colour);
        for (std::size_t k = Order.size(); k-- > 0;) {
            if (Colour[k] < Need) return false;
            const int v = Order[k];
            TBits Next = Candidates;
            Next &= FAdjacent[Pos(v)];
            if (Expand(Next, Need - 1)) return true;
            Candidates.Clear(v);
        }
        return false;
    }

    // Greedy colouring into independent classes; vertices in order of their colour. A clique has
    // at most one vertex of each colour.
    void ColourSort(const TBits& Candidates, std::vector<int>& Order, std::vector<int>& Colour) const
    {
        TBits Uncoloured = Candidates;
        int c = 0;
        while (Uncoloured.Any()) {
            ++c;
            TBits Class = Uncoloured;
            while (Class.Any()) {
                const int v = Class.First();
                Class.Clear(v);
                Uncoloured.Clear(v);
                Class.RemoveAll(FAdjacent[Pos(v)]);
                Order.push_back(v);
                Colour.push_back(c);
            }
        }
    }

    int FN;
    TBits FAllowed;  // internal numbering
    std::vector<TBits> FAdjacent;
    std::vector<int> FOriginal;  // internal -> original position
    std::vector<int> FInternal;  // original position -> internal
};

bool SelectExact(const DoubDoubArray& Overlap, int N, int y, DoubArray& X, double& ObjVal)
{
    X.assign(static_cast<std::size_t>(N) * N + N + 1, 0.0);
    ObjVal = 0;
    if (y <= 0) return true;

    // The value of a set is the largest of 0, the diagonal entries of its members and both
    // entries of each pair of members; the optimum is one of these numbers.
    std::vector<double> Levels = {0.0};
    for (int i = 0; i < N; ++i)
        for (int j = 0; j < N; ++j) {
            const double O = Overlap[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
            if (O > 0) Levels.push_back(O);
        }
    std::sort(Levels.begin(), Levels.end());
    Levels.erase(std::unique(Levels.begin(), Levels.end()), Levels.end());

    std::size_t Low = 0;
    std::size_t High = Levels.size() - 1;  // every set of y < N instances qualifies at the top level
    while (Low < High) {
        const std::size_t Mid = Low + (High - Low) / 2;
        if (TCliqueSearch(Overlap, N, Levels[Mid]).Exists(y))
            High = Mid;
        else
            Low = Mid + 1;
    }
    const std::vector<int> Chosen = TCliqueSearch(Overlap, N, Levels[Low]).LexFirst(y);
    if (static_cast<int>(Chosen.size()) != y)
        throw EOrbenchError("The minimum-overlap selection found no set at its optimal level.");

    double Largest = 0;
    for (int i : Chosen)
        for (int j : Chosen) {
            const double O = Overlap[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
            if (O > Largest) Largest = O;
            X[1 + static_cast<std::size_t>(N) + static_cast<std::size_t>(i) * N + static_cast<std::size_t>(j)] = 1;
        }
    for (int i : Chosen) X[1 + static_cast<std::size_t>(i)] = 1;
    X[0] = Largest;
    ObjVal = Largest;
    return true;
}

}  // namespace

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

bool SelectMinOverlapInstances(const DoubDoubArray& Overlap, int N, int y, DoubArray& X, double& ObjVal,
                               TOverlapEngine Engine)
{
    if (y >= N) return false;
    if (static_cast<int>(Overlap.size()) < N)
        throw EOrbenchError("The overlap matrix has fewer rows than the " + std::to_string(N) + " instances.");
    for (int i = 0; i < N; ++i)
        if (static_cast<int>(Overlap[static_cast<std::size_t>(i)].size()) < N)
            throw EOrbenchError("The overlap matrix has a row shorter than the " + std::to_string(N) + " instances.");
    if (Engine == TOverlapEngine::oeExact) return SelectExact(Overlap, N, y, X, ObjVal);

    if (!SolverEnvironmentIsOpen()) return false;
    DoubArray Solution;
    double Objective = 0;
    const TSolveStatus Status = SolveLinearProgram(BuildMinOverlapModel(Overlap, N, y), Solution, Objective);
    if (Status == TSolveStatus::ssNotCreated) return false;
    // A negative y has no solution: nothing is chosen.
    if (Status != TSolveStatus::ssOptimal && !(y < 0 && Status == TSolveStatus::ssInfeasible))
        throw EOrbenchError("The minimum-overlap selection was not solved (" + SolveStatusText(Status) + ").");
    X = std::move(Solution);
    // The objective is z alone; the solver's own figure can differ from its z in the last digits.
    (void)Objective;
    ObjVal = X[0];
    return true;
}

}  // namespace orbench
