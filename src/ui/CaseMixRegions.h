#pragma once

#include <array>

namespace orbench::ui {

// One shape of a region picture: the box spanned by two corner points in plane units (in either
// order). A rectangle fills the box; a triangle has its base on the lower edge of the box and its
// apex at the middle of the upper edge.
struct TRegionShape {
    bool Present = false;
    double X0 = 0;
    double Y0 = 0;
    double X1 = 0;
    double Y1 = 0;

    double Left() const { return X0 < X1 ? X0 : X1; }
    double Right() const { return X0 < X1 ? X1 : X0; }
    double Bottom() const { return Y0 < Y1 ? Y0 : Y1; }
    double Top() const { return Y0 < Y1 ? Y1 : Y0; }
};

// The four layers that paint a case-mix type's region over the unit square, bottom to top: a
// gray rectangle, a white triangle, a gray triangle and a white rectangle. What stays white is
// the region. Layer indices 0..3.
enum TRegionLayer { rlGrayRectangle = 0, rlWhiteTriangle = 1, rlGrayTriangle = 2, rlWhiteRectangle = 3 };

using TCaseMixRegion = std::array<TRegionShape, 4>;

// The layers of case-mix type 0..16; all layers empty for any other number.
TCaseMixRegion CaseMixRegion(int CaseMixType);

}  // namespace orbench::ui
