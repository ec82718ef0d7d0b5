#pragma once

#include <array>
#include <vector>

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

struct TPlanePoint {
    double X = 0;
    double Y = 0;
};

// The corners of a layer's shape, counter-clockwise: the rectangle's four, or the triangle's
// three (layers rlWhiteTriangle and rlGrayTriangle); none when the layer is empty.
std::vector<TPlanePoint> ShapeOutline(int Layer, const TRegionShape& Shape);

// The part of a convex outline that lies inside the box [Left, Right] x [Bottom, Top], as a
// convex outline again (empty when nothing of it lies inside).
std::vector<TPlanePoint> ClipToBox(const std::vector<TPlanePoint>& Outline, double Left, double Bottom, double Right,
                                   double Top);

// A convex outline as the two lines an area between lines needs: for every corner's X from left
// to right, the outline's highest Y (Upper) and lowest Y (Lower) there. Both stay empty for an
// outline without width.
void OutlineToBounds(const std::vector<TPlanePoint>& Outline, std::vector<TPlanePoint>& Upper,
                     std::vector<TPlanePoint>& Lower);

}  // namespace orbench::ui
