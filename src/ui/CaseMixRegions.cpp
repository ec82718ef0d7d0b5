#include "CaseMixRegions.h"

#include <algorithm>
#include <functional>

namespace orbench::ui {

namespace {

TRegionShape Box(double X0, double Y0, double X1, double Y1) { return TRegionShape{true, X0, Y0, X1, Y1}; }

const TRegionShape UnitSquare = Box(0, 0, 1, 1);
const TRegionShape None{};

}  // namespace

TCaseMixRegion CaseMixRegion(int CaseMixType)
{
    switch (CaseMixType) {
        case 0: return {UnitSquare, None, None, UnitSquare};
        case 1: return {UnitSquare, None, None, Box(0, 0.5, 0.5, 1)};
        case 2: return {UnitSquare, None, None, Box(1, 1, 0.5, 0.5)};
        case 3: return {UnitSquare, None, None, Box(0, 0, 0.5, 0.5)};
        case 4: return {UnitSquare, None, None, Box(0.5, 0, 1, 0.5)};
        case 5: return {UnitSquare, None, None, Box(0, 0, 0.5, 1)};
        case 6: return {UnitSquare, None, None, Box(0.5, 0, 1, 1)};
        case 7: return {UnitSquare, None, None, Box(0, 0.5, 1, 1)};
        case 8: return {UnitSquare, None, None, Box(0, 0, 1, 0.5)};
        case 9: return {None, None, Box(0, 0, 2, 1), None};
        case 10: return {None, None, Box(-1, 1, 1, 0), None};
        case 11: return {UnitSquare, Box(-1, 1, 1, 0), None, None};
        case 12: return {UnitSquare, Box(0, 0, 2, 1), None, None};
        case 13: return {UnitSquare, Box(-1.4, 0, 1.4, 1.4), Box(-0.6, 0, 0.6, 0.6), None};
        case 14: return {UnitSquare, Box(-0.4, 0, 2.4, 1.4), Box(0.4, 0, 1.6, 0.6), None};
        case 15: return {UnitSquare, None, None, Box(0, 0.25, 1, 0.75)};
        case 16: return {UnitSquare, None, None, Box(0.25, 0, 0.75, 1)};
        default: return {None, None, None, None};
    }
}

std::vector<TPlanePoint> ShapeOutline(int Layer, const TRegionShape& Shape)
{
    if (!Shape.Present) return {};
    const double L = Shape.Left(), R = Shape.Right(), B = Shape.Bottom(), T = Shape.Top();
    if (Layer == rlWhiteTriangle || Layer == rlGrayTriangle) return {{L, B}, {R, B}, {(L + R) / 2, T}};
    return {{L, B}, {R, B}, {R, T}, {L, T}};
}

std::vector<TPlanePoint> ClipToBox(const std::vector<TPlanePoint>& Outline, double Left, double Bottom, double Right,
                                   double Top)
{
    // Cuts the outline at one edge of the box after the other, keeping the side inside.
    using TInside = std::function<bool(const TPlanePoint&)>;
    using TCut = std::function<TPlanePoint(const TPlanePoint&, const TPlanePoint&)>;
    const auto AtX = [](double X) {
        return [X](const TPlanePoint& A, const TPlanePoint& B) {
            return TPlanePoint{X, A.Y + (X - A.X) * (B.Y - A.Y) / (B.X - A.X)};
        };
    };
    const auto AtY = [](double Y) {
        return [Y](const TPlanePoint& A, const TPlanePoint& B) {
            return TPlanePoint{A.X + (Y - A.Y) * (B.X - A.X) / (B.Y - A.Y), Y};
        };
    };
    const std::pair<TInside, TCut> Edges[] = {
        {[Left](const TPlanePoint& P) { return P.X >= Left; }, AtX(Left)},
        {[Right](const TPlanePoint& P) { return P.X <= Right; }, AtX(Right)},
        {[Bottom](const TPlanePoint& P) { return P.Y >= Bottom; }, AtY(Bottom)},
        {[Top](const TPlanePoint& P) { return P.Y <= Top; }, AtY(Top)},
    };
    std::vector<TPlanePoint> Result = Outline;
    for (const auto& [Inside, Cut] : Edges) {
        const std::vector<TPlanePoint> Input = std::move(Result);
        Result.clear();
        for (std::size_t i = 0; i < Input.size(); ++i) {
            const TPlanePoint& A = Input[i];
            const TPlanePoint& B = Input[(i + 1) % Input.size()];
            if (Inside(A)) Result.push_back(A);
            if (Inside(A) != Inside(B)) Result.push_back(Cut(A, B));
        }
    }
    return Result;
}

void OutlineToBounds(const std::vector<TPlanePoint>& Outline, std::vector<TPlanePoint>& Upper,
                     std::vector<TPlanePoint>& Lower)
{
    Upper.clear();
    Lower.clear();
    std::vector<double> Xs;
    for (const TPlanePoint& P : Outline) Xs.push_back(P.X);
    std::sort(Xs.begin(), Xs.end());
    Xs.erase(std::unique(Xs.begin(), Xs.end()), Xs.end());
    if (Xs.size() < 2) return;
    for (const double X : Xs) {
        // The outline's extent on the vertical line through X: every edge that reaches it.
        double Low = 0, High = 0;
        bool Found = false;
        const auto Take = [&](double Y) {
            Low = Found ? std::min(Low, Y) : Y;
            High = Found ? std::max(High, Y) : Y;
            Found = true;
        };
        for (std::size_t i = 0; i < Outline.size(); ++i) {
            const TPlanePoint& A = Outline[i];
            const TPlanePoint& B = Outline[(i + 1) % Outline.size()];
            if (X < std::min(A.X, B.X) || X > std::max(A.X, B.X)) continue;
            if (A.X == B.X) {
                Take(A.Y);
                Take(B.Y);
            } else {
                Take(X == A.X ? A.Y : X == B.X ? B.Y : A.Y + (X - A.X) * (B.Y - A.Y) / (B.X - A.X));
            }
        }
        Upper.push_back({X, High});
        Lower.push_back({X, Low});
    }
}

}  // namespace orbench::ui
