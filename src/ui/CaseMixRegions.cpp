#include "CaseMixRegions.h"

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

}  // namespace orbench::ui
