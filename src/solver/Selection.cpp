// The steps of the selection; the problem, the algorithms by name and why they are correct are
// told at the top of Selection.h.
//
// Exact engine (SelectExact):
//   1. GreedySet and ImproveSet: a good set quickly, whose value bounds the optimum from above.
//   2. The levels: 0 and the distinct entries up to that bound, sorted.
//   3. The optimal level: TCliqueSearch::Prepare builds the threshold graph of a level (dropping
//      the vertices outside its core) and Exists searches it for a clique of the size; levels are
//      probed downwards in growing steps, then by halving.
//   4. TCliqueSearch::LexFirst at the optimal level: the lexicographically smallest set.
//   5. FillSolution: the set and its value in the MIP's column order.
// TWatch polls for a stop and the time limit; on the limit the best set found so far is returned.
//
// Solver engine: the MIP of SelectionModel.h solved by CBC on a thread of its own (RunPolled),
// with the greedy set standing in at the time limit when it is better.
//
// See docs/engines.md, "Exact selection" and "Selection MIP".

#include "Selection.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cstdint>
#include <functional>
#include <cstdio>
#include <limits>

#include "OrbenchError.h"
#include "PairRunner.h"
#include "SelectionModel.h"

namespace orbench {

namespace {

using TWord = std::uint64_t;
constexpr std::chrono::milliseconds PollInterval{50};

// Ends the exact search when it runs past its time limit.
struct TTimeUp {};

// Watches the exact search, which runs on the caller's thread: asks StopRequested about every
// 50 ms (EStopRequested on a stop) and throws TTimeUp once the time limit has passed.
class TWatch {
public:
    explicit TWatch(const TOverlapSettings& Settings)
        : FStopRequested(Settings.StopRequested),
          FProgress(Settings.SelectionProgress),
          FLimit(Settings.SelectionTimeLimitSeconds),
          FStart(std::chrono::steady_clock::now()),
          FLastPoll(FStart)
    {}
    // Where the search stands, for SelectionProgress.
    double BestFound = std::numeric_limits<double>::infinity();
    double LowerBound = 0;
    // Called at every node of a search; looks at the clock every 256 calls.
    void Tick()
    {
        if ((++FTicks & 255) == 0) Check();
    }
    void Check()
    {
        const auto Now = std::chrono::steady_clock::now();
        if ((FStopRequested || FProgress) && Now - FLastPoll >= PollInterval) {
            FLastPoll = Now;
            if (FProgress && BestFound < std::numeric_limits<double>::infinity()) FProgress(BestFound, LowerBound);
            if (FStopRequested && FStopRequested()) throw EStopRequested();
        }
        if (FLimit > 0 && std::chrono::duration<double>(Now - FStart).count() >= FLimit) throw TTimeUp();
    }

private:
    std::function<bool()> FStopRequested;
    std::function<void(double, double)> FProgress;
    double FLimit;
    std::chrono::steady_clock::time_point FStart, FLastPoll;
    unsigned FTicks = 0;
};

// The value a pair of instances adds to a set: the larger of its two entries.
double PairValue(const DoubDoubArray& O, int i, int j)
{
    return std::max(O[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)],
                    O[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)]);
}

double Diagonal(const DoubDoubArray& O, int i) { return O[static_cast<std::size_t>(i)][static_cast<std::size_t>(i)]; }

// The instances that may be chosen together when no overlap above the threshold is allowed: a
// compatibility graph, searched for cliques of the wanted size. Instances with fewer compatible
// partners than a clique needs are dropped first (repeatedly); the rest are numbered by
// decreasing degree, which makes the colouring bound of the search much tighter. Sets are bit
// words; each depth of the search has its own.
class TCliqueSearch {
public:
    TCliqueSearch(const DoubDoubArray& O, int N, int Size, TWatch& Watch)
        : FN(N),
          FSize(Size),
          FWatch(Watch),
          FValue(Pos(N) * Pos(N)),
          FDiagonal(Pos(N)),
          FInternal(Pos(N), -1),
          FAlive(Pos(N)),
          FDegree(Pos(N)),
          FOrder(Pos(Size) + 2),
          FColour(Pos(Size) + 2),
          FPath(Pos(Size) + 1, -1)
    {
        for (int i = 0; i < N; ++i) {
            FDiagonal[Pos(i)] = Diagonal(O, i);
            for (int j = 0; j < N; ++j) FValue[Pos(i) * Pos(N) + Pos(j)] = i == j ? 0 : PairValue(O, i, j);
        }
    }

    // The compatibility graph for a threshold: instances whose diagonal entry and whose entries
    // with each other do not exceed it.
    void Prepare(double Threshold)
    {
        const std::size_t N = Pos(FN);
        for (std::size_t i = 0; i < N; ++i) FAlive[i] = FDiagonal[i] <= Threshold;
        for (std::size_t i = 0; i < N; ++i) {
            int Degree = 0;
            if (FAlive[i])
                for (std::size_t j = 0; j < N; ++j) Degree += j != i && FAlive[j] && FValue[i * N + j] <= Threshold;
            FDegree[i] = Degree;
        }
        // Only vertices with at least Size - 1 partners can be in a clique of Size.
        FDrop.clear();
        for (std::size_t i = 0; i < N; ++i)
            if (FAlive[i] && FDegree[i] < FSize - 1) FDrop.push_back(static_cast<int>(i)), FAlive[i] = 0;
        while (!FDrop.empty()) {
            const std::size_t v = Pos(FDrop.back());
            FDrop.pop_back();
            for (std::size_t u = 0; u < N; ++u)
                if (FAlive[u] && u != v && FValue[v * N + u] <= Threshold && --FDegree[u] < FSize - 1)
                    FDrop.push_back(static_cast<int>(u)), FAlive[u] = 0;
        }
        FOriginal.clear();
        for (std::size_t i = 0; i < N; ++i) {
            FInternal[i] = -1;
            if (FAlive[i]) FOriginal.push_back(static_cast<int>(i));
        }
        std::stable_sort(FOriginal.begin(), FOriginal.end(),
                         [&](int a, int b) { return FDegree[Pos(a)] > FDegree[Pos(b)]; });
        FCount = static_cast<int>(FOriginal.size());
        FWords = (Pos(FCount) + 63) / 64;
        for (int k = 0; k < FCount; ++k) FInternal[Pos(FOriginal[Pos(k)])] = k;
        FAdjacent.assign(Pos(FCount) * FWords, 0);
        for (int k = 0; k < FCount; ++k) {
            const std::size_t i = Pos(FOriginal[Pos(k)]);
            TWord* Adjacent = Row(FAdjacent, k);
            for (int m = 0; m < FCount; ++m)
                if (m != k && FValue[i * N + Pos(FOriginal[Pos(m)])] <= Threshold) Set(Adjacent, m);
        }
        FSets.assign((Pos(FSize) + 2) * FWords, 0);
        FSpare.assign(3 * FWords, 0);
    }

    // Whether a clique of the size exists; Found then gives one.
    bool Exists()
    {
        if (FCount < FSize) return false;
        TWord* All = Level(0);
        for (int k = 0; k < FCount; ++k) Set(All, k);
        return Expand(0, FSize);
    }

    // The clique Exists found, ascending original positions.
    std::vector<int> Found() const
    {
        std::vector<int> Chosen;
        for (int d = 0; d < FSize; ++d) Chosen.push_back(FOriginal[Pos(FPath[Pos(d)])]);
        std::sort(Chosen.begin(), Chosen.end());
        return Chosen;
    }

    // The lexicographically smallest clique of the size (ascending original positions); empty
    // when there is none. Picks each next position as the smallest one that still leaves a
    // clique of the size.
    std::vector<int> LexFirst()
    {
        std::vector<int> Chosen;
        if (FCount < FSize) return Chosen;
        TWord* Candidates = FSpare.data();
        TWord* Rest = FSpare.data() + FWords;
        std::fill(Candidates, Candidates + FWords, 0);
        for (int k = 0; k < FCount; ++k) Set(Candidates, k);
        int Next = 0;  // original positions below Next are decided
        while (static_cast<int>(Chosen.size()) < FSize) {
            const int Need = FSize - static_cast<int>(Chosen.size());
            bool Placed = false;
            for (; Next < FN && !Placed; ++Next) {
                const int v = FInternal[Pos(Next)];
                if (v < 0 || !Test(Candidates, v)) continue;
                Clear(Candidates, v);
                const TWord* Adjacent = Row(FAdjacent, v);
                for (std::size_t w = 0; w < FWords; ++w) Rest[w] = Candidates[w] & Adjacent[w];
                std::copy(Rest, Rest + FWords, Level(1));
                if (Expand(1, Need - 1)) {
                    Chosen.push_back(Next);
                    std::copy(Rest, Rest + FWords, Candidates);
                    Placed = true;
                }
            }
            if (!Placed) return {};
        }
        return Chosen;
    }

private:
    static std::size_t Pos(int i) { return static_cast<std::size_t>(i); }
    TWord* Row(std::vector<TWord>& Sets, int k) { return Sets.data() + Pos(k) * FWords; }
    TWord* Level(int Depth) { return Row(FSets, Depth); }
    static void Set(TWord* Bits, int i) { Bits[Pos(i) / 64] |= TWord{1} << (Pos(i) % 64); }
    static void Clear(TWord* Bits, int i) { Bits[Pos(i) / 64] &= ~(TWord{1} << (Pos(i) % 64)); }
    static bool Test(const TWord* Bits, int i) { return (Bits[Pos(i) / 64] >> (Pos(i) % 64) & 1) != 0; }
    int Count(const TWord* Bits) const
    {
        int n = 0;
        for (std::size_t w = 0; w < FWords; ++w) n += std::popcount(Bits[w]);
        return n;
    }

    // Whether the candidates of this depth hold a clique of Need vertices: branch and bound with
    // the greedy colouring bound, branching on the vertices of the highest colours first.
    bool Expand(int Depth, int Need)
    {
        if (Need <= 0) return true;
        TWord* Candidates = Level(Depth);
        if (Count(Candidates) < Need) return false;
        FWatch.Tick();
        std::vector<int>& Order = FOrder[Pos(Depth)];
        std::vector<int>& Colour = FColour[Pos(Depth)];
        ColourSort(Candidates, Order, Colour);
        TWord* Next = Level(Depth + 1);
        for (std::size_t k = Order.size(); k-- > 0;) {
            if (Colour[k] < Need) return false;
            const int v = Order[k];
            const TWord* Adjacent = Row(FAdjacent, v);
            for (std::size_t w = 0; w < FWords; ++w) Next[w] = Candidates[w] & Adjacent[w];
            FPath[Pos(FSize - Need)] = v;
            if (Expand(Depth + 1, Need - 1)) return true;
            Clear(Candidates, v);
        }
        return false;
    }

    // Greedy colouring into independent classes; vertices in order of their colour. A clique has
    // at most one vertex of each colour.
    void ColourSort(const TWord* Candidates, std::vector<int>& Order, std::vector<int>& Colour)
    {
        Order.clear();
        Colour.clear();
        TWord* Uncoloured = FSpare.data() + 2 * FWords;
        std::copy(Candidates, Candidates + FWords, Uncoloured);
        std::vector<TWord>& Class = FClass;
        Class.resize(FWords);
        int c = 0;
        for (std::size_t Start = 0; Start < FWords;) {
            if (Uncoloured[Start] == 0) {
                ++Start;
                continue;
            }
            ++c;
            std::copy(Uncoloured, Uncoloured + FWords, Class.begin());
            for (std::size_t w = Start; w < FWords; ++w)
                while (Class[w] != 0) {
                    const int v = static_cast<int>(w * 64) + std::countr_zero(Class[w]);
                    Clear(Class.data(), v);
                    Clear(Uncoloured, v);
                    const TWord* Adjacent = Row(FAdjacent, v);
                    for (std::size_t x = w; x < FWords; ++x) Class[x] &= ~Adjacent[x];
                    Order.push_back(v);
                    Colour.push_back(c);
                }
        }
    }

    int FN;
    int FSize;
    TWatch& FWatch;
    std::vector<double> FValue;     // N x N: the larger entry of each pair, 0 on the diagonal
    std::vector<double> FDiagonal;  // the diagonal entries
    int FCount = 0;
    std::size_t FWords = 0;
    std::vector<int> FOriginal;  // internal -> original position
    std::vector<int> FInternal;  // original position -> internal, -1 when dropped
    std::vector<char> FAlive;
    std::vector<int> FDegree, FDrop;
    std::vector<TWord> FAdjacent;
    std::vector<TWord> FSets;   // candidate sets, one per depth
    std::vector<TWord> FSpare;  // LexFirst's sets and the colouring's uncoloured vertices
    std::vector<TWord> FClass;
    std::vector<std::vector<int>> FOrder, FColour;
    std::vector<int> FPath;  // the vertices of the current clique, by depth
};

// A good set quickly: from several first instances, add each time the instance that raises the
// set's largest overlap least (ties: the first). Returns the best set found and its value.
std::pair<double, std::vector<int>> GreedySet(const DoubDoubArray& O, int N, int y, TWatch& Watch)
{
    const int Starts = static_cast<int>(std::clamp<long long>(20000000LL / (static_cast<long long>(N) * y + 1), 1, N));
    std::pair<double, std::vector<int>> Best{std::numeric_limits<double>::infinity(), {}};
    std::vector<double> Raise(static_cast<std::size_t>(N));
    std::vector<char> In(static_cast<std::size_t>(N));
    std::vector<int> Set;
    Set.reserve(static_cast<std::size_t>(std::max(y, 1)));
    for (int k = 0; k < Starts; ++k) {
        Watch.Tick();
        const int s = static_cast<int>(static_cast<long long>(k) * N / Starts);
        Set.assign(1, s);
        double Value = std::max(0.0, Diagonal(O, s));
        std::fill(In.begin(), In.end(), 0);
        In[static_cast<std::size_t>(s)] = 1;
        for (int c = 0; c < N; ++c) Raise[static_cast<std::size_t>(c)] = std::max(Diagonal(O, c), PairValue(O, c, s));
        while (static_cast<int>(Set.size()) < y) {
            int Pick = -1;
            for (int c = 0; c < N; ++c)
                if (!In[static_cast<std::size_t>(c)] &&
                    (Pick < 0 || Raise[static_cast<std::size_t>(c)] < Raise[static_cast<std::size_t>(Pick)]))
                    Pick = c;
            Value = std::max(Value, Raise[static_cast<std::size_t>(Pick)]);
            In[static_cast<std::size_t>(Pick)] = 1;
            Set.push_back(Pick);
            for (int c = 0; c < N; ++c)
                Raise[static_cast<std::size_t>(c)] =
                    std::max(Raise[static_cast<std::size_t>(c)], PairValue(O, c, Pick));
        }
        if (Value < Best.first) {
            std::sort(Set.begin(), Set.end());
            Best = {Value, Set};
        }
    }
    return Best;
}

// Lowers a set's value by swaps: a member of a pair at the set's value for the outside instance
// that lowers the value most, as long as that helps.
void ImproveSet(const DoubDoubArray& O, int N, std::vector<int>& Set, double& Value, TWatch& Watch)
{
    std::vector<char> In(static_cast<std::size_t>(N), 0);
    for (int v : Set) In[static_cast<std::size_t>(v)] = 1;
    for (bool Better = true; Better;) {
        Better = false;
        for (std::size_t r = 0; r < Set.size() && !Better; ++r) {
            const int Out = Set[r];
            bool Critical = Diagonal(O, Out) >= Value;
            for (int v : Set) Critical = Critical || (v != Out && PairValue(O, Out, v) >= Value);
            if (!Critical) continue;
            // The value of the rest without Out.
            double Rest = 0;
            for (std::size_t a = 0; a < Set.size(); ++a) {
                if (a == r) continue;
                Rest = std::max(Rest, Diagonal(O, Set[a]));
                for (std::size_t b = a + 1; b < Set.size(); ++b)
                    if (b != r) Rest = std::max(Rest, PairValue(O, Set[a], Set[b]));
            }
            if (Rest >= Value) continue;
            int BestIn = -1;
            double BestValue = Value;
            for (int c = 0; c < N; ++c) {
                if (In[static_cast<std::size_t>(c)]) continue;
                Watch.Tick();
                double With = std::max(Rest, Diagonal(O, c));
                for (std::size_t a = 0; a < Set.size() && With < BestValue; ++a)
                    if (a != r) With = std::max(With, PairValue(O, c, Set[a]));
                if (With < BestValue) BestValue = With, BestIn = c;
            }
            if (BestIn < 0) continue;
            In[static_cast<std::size_t>(Out)] = 0;
            In[static_cast<std::size_t>(BestIn)] = 1;
            Set[r] = BestIn;
            Value = BestValue;
            Better = true;
        }
    }
    std::sort(Set.begin(), Set.end());
}

void FillSolution(const DoubDoubArray& Overlap, int N, const std::vector<int>& Chosen, DoubArray& X, double& ObjVal)
{
    const std::size_t Size = static_cast<std::size_t>(N);
    X.assign(Size * Size + Size + 1, 0.0);
    double Largest = 0;
    for (int i : Chosen)
        for (int j : Chosen) {
            const double O = Overlap[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
            if (O > Largest) Largest = O;
            X[1 + Size + static_cast<std::size_t>(i) * Size + static_cast<std::size_t>(j)] = 1;
        }
    for (int i : Chosen) X[1 + static_cast<std::size_t>(i)] = 1;
    X[0] = Largest;
    ObjVal = Largest;
}

bool SelectExact(const DoubDoubArray& Overlap, int N, int y, DoubArray& X, double& ObjVal,
                 const TOverlapSettings& Settings, bool& Proven)
{
    Proven = true;
    if (y <= 0) {
        FillSolution(Overlap, N, {}, X, ObjVal);
        return true;
    }
    TWatch Watch(Settings);
    std::vector<int> Best;
    std::vector<int> Chosen;
    try {
        // A set found quickly bounds the optimum from above.
        auto [Bound, Greedy] = GreedySet(Overlap, N, y, Watch);
        Best = Greedy;
        ImproveSet(Overlap, N, Best, Bound, Watch);
        Watch.BestFound = Bound;
        // The value of a set is the largest of 0, the diagonal entries of its members and both
        // entries of each pair of members; the optimum is one of these numbers, at most Bound.
        std::vector<double> Levels = {0.0};
        for (int i = 0; i < N; ++i)
            for (int j = 0; j < N; ++j) {
                const double O = Overlap[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
                if (O > 0 && O <= Bound) Levels.push_back(O);
            }
        std::sort(Levels.begin(), Levels.end());
        Levels.erase(std::unique(Levels.begin(), Levels.end()), Levels.end());

        // The smallest level with a set: downwards in growing steps from the top while sets are
        // found (quick searches that improve the best set early), then by halving.
        std::size_t Low = 0;
        std::size_t High = Levels.size() - 1;  // the greedy set qualifies at the top level
        std::size_t Step = 1;
        bool Galloping = true;
        TCliqueSearch Search(Overlap, N, y, Watch);
        while (Low < High) {
            Watch.BestFound = Levels[High];
            Watch.LowerBound = Levels[Low];
            const std::size_t Mid = Galloping ? High - std::min(Step, High - Low) : Low + (High - Low) / 2;
            Search.Prepare(Levels[Mid]);
            if (Search.Exists()) {
                High = Mid;
                Best = Search.Found();
                Step *= 2;
            } else {
                Low = Mid + 1;
                Galloping = false;
            }
        }
        Search.Prepare(Levels[Low]);
        Chosen = Search.LexFirst();
        if (static_cast<int>(Chosen.size()) != y)
            throw EOrbenchError("The minimum-overlap selection found no set at its optimal level.");
    } catch (const TTimeUp&) {
        // The best set so far: its value may be above the optimum.
        Chosen = Best;
        Proven = false;
    }
    FillSolution(Overlap, N, Chosen, X, ObjVal);
    return true;
}

}  // namespace

bool SelectMinOverlapInstances(const DoubDoubArray& Overlap, int N, int y, DoubArray& X, double& ObjVal,
                               TOverlapEngine Engine)
{
    return SelectMinOverlapInstances(Overlap, N, y, X, ObjVal, TOverlapSettings(Engine));
}

bool SelectMinOverlapInstances(const DoubDoubArray& Overlap, int N, int y, DoubArray& X, double& ObjVal,
                               const TOverlapSettings& Settings, bool* ProvenOptimal)
{
    if (y >= N) return false;
    if (static_cast<int>(Overlap.size()) < N)
        throw EOrbenchError("The overlap matrix has fewer rows than the " + std::to_string(N) + " instances.");
    for (int i = 0; i < N; ++i)
        if (static_cast<int>(Overlap[static_cast<std::size_t>(i)].size()) < N)
            throw EOrbenchError("The overlap matrix has a row shorter than the " + std::to_string(N) + " instances.");
    bool Proven = true;
    if (Settings.Engine == TOverlapEngine::oeExact) {
        DoubArray Solution;
        double Objective = 0;
        SelectExact(Overlap, N, y, Solution, Objective, Settings, Proven);
        X = std::move(Solution);
        ObjVal = Objective;
        if (ProvenOptimal != nullptr) *ProvenOptimal = Proven;
        return true;
    }

    if (!SolverEnvironmentIsOpen()) return false;
    DoubArray Solution;
    double Objective = 0;
    TSolveStatus Status = TSolveStatus::ssNotCreated;
    std::atomic<bool> Stop{false};
    std::atomic<double> BestFound{1e50}, BestPossible{0};
    TSolveControl Control;
    Control.Stop = &Stop;
    Control.TimeLimitSeconds = Settings.SelectionTimeLimitSeconds;
    Control.BestFound = &BestFound;
    Control.BestPossible = &BestPossible;
    const TLinearProgram Program = BuildMinOverlapModel(Overlap, N, y);
    std::function<bool()> Poll = Settings.StopRequested;
    if (Settings.SelectionProgress)
        Poll = [&Settings, &BestFound, &BestPossible] {
            const double Found = BestFound.load(std::memory_order_relaxed);
            if (Found < 1e49)
                Settings.SelectionProgress(Found, std::max(0.0, BestPossible.load(std::memory_order_relaxed)));
            return Settings.StopRequested && Settings.StopRequested();
        };
    RunPolled([&] { Status = SolveLinearProgram(Program, Solution, Objective, Control); }, Poll, Stop);
    if (Stop) throw EStopRequested();
    if (Status == TSolveStatus::ssNotCreated) return false;
    // A negative y has no solution: nothing is chosen. At the time limit the best set the solver
    // found is taken, or the greedy set (the exact engine's quick set before its swaps) when that
    // is better or the solver has none.
    if (Status == TSolveStatus::ssTimeLimit) {
        Proven = false;
        const bool Chosen =
            std::any_of(Solution.begin() + 1, Solution.begin() + 1 + N, [](double v) { return v > 0.5; });
        TWatch Watch{TOverlapSettings()};
        const auto [Value, Set] = GreedySet(Overlap, N, y, Watch);
        if (y > 0 && (!Chosen || Value < Solution[0])) FillSolution(Overlap, N, Set, Solution, Objective);
    } else if (Status != TSolveStatus::ssOptimal && !(y < 0 && Status == TSolveStatus::ssInfeasible)) {
        throw EOrbenchError("The minimum-overlap selection was not solved (" + SolveStatusText(Status) + ").");
    }
    X = std::move(Solution);
    // The objective is z alone; the solver's own figure can differ from its z in the last digits.
    (void)Objective;
    ObjVal = X[0];
    if (ProvenOptimal != nullptr) *ProvenOptimal = Proven;
    return true;
}

TSelectionReporter::TSelectionReporter(std::function<void(const std::string& Line)> Print,
                                       std::function<double()> Clock, double FirstAfter, double Every)
    : FPrint(std::move(Print)), FClock(std::move(Clock)), FEvery(Every)
{
    if (!FClock)
        FClock = [] {
            return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
        };
    FStart = FClock();
    FNext = FStart + FirstAfter;
}

void TSelectionReporter::operator()(double BestFound, double LowerBound)
{
    const double Now = FClock();
    if (Now < FNext) return;
    FNext = Now + FEvery;
    char Line[256];
    std::snprintf(Line, sizeof Line,
                  "selecting for %.0f s: the best set found has the largest overlap %.5f, no set can have less than "
                  "%.5f (gap %.5f)",
                  Now - FStart, BestFound, LowerBound, std::max(0.0, BestFound - LowerBound));
    FPrint(Line);
}

}  // namespace orbench
