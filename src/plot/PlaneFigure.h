#pragma once

// The figures of "orbench-cli plot" for papers, drawn in points so that the same figure reads the
// same at any size: every length and every font is a share of the figure's width (a one-column
// figure of 8.5 cm has 8-point text). Each takes the figure's size in points and paints on a white
// ground.

#include <QPainter>
#include <QSizeF>
#include <QString>
#include <string>
#include <vector>

#include "InstanceStats.h"
#include "Model.h"

namespace orbench::plot {

// The plane of X = mean / capacity against Y = coefficient of variation.
struct TPlaneFigure {
    int CaseMixType = 0;  // whose region is white
    const TCaseMix* CaseMix = nullptr;
    // The instances to show, each with the name the key gives it (its file name); none: the case
    // mix's surgery types are shown.
    std::vector<const TInstance*> Instances;
    std::vector<std::string> Names;
    QString Title;            // none when empty
    bool WordLabels = false;  // "mean / capacity" and "CV" instead of the symbols
    bool Fit = false;         // widen the axes to show every point, instead of arrows at the edge
};

// What a plane figure drew, for the messages and the tests.
struct TPlaneDrawn {
    int Points = 0;   // markers of surgeries or surgery types
    int Outside = 0;  // of them beyond the unit square (drawn as arrows at its edge, or shown with Fit)
    int Centres = 0;  // centres of mass
};

TPlaneDrawn PaintPlaneFigure(QPainter& Painter, QSizeF Size, const TPlaneFigure& Figure);

// Two panels for describing a set of instances beside its table: the histogram of the instances'
// loads, and the surgeries of the set in each case-mix type's region.
void PaintStatsFigure(QPainter& Painter, QSizeF Size, const TInstanceStats& Stats, const QString& Title);

// The colour-blind-safe palette of Okabe and Ito, for the instances of a figure in turn.
QColor PaletteColour(int Index);

}  // namespace orbench::plot
