#pragma once

#include <QColor>
#include <QSizeF>
#include <QString>
#include <vector>

#include "Model.h"

class QPainter;

namespace orbench::ui {

// The overlap grid's look, shared by the overlap window and the pictures of a matrix.

// White for 0 to a strong blue for 1.
QColor OverlapShade(double Value);
// The colour of a cell's text: white on the darker cells, else black.
QColor OverlapTextColour(double Value);
// A cell's text: three decimals with the locale's decimal separator.
QString OverlapCellText(double Value);
// The number of instance I in the headers, with a check mark when it was chosen.
QString OverlapHeaderText(int I, bool Chosen);

// Paints the matrix as the window's grid shows it, fitted into Size: numbered headers (chosen
// instances with their mark), each cell shaded by its value with its three-decimal text while the
// cells are large enough to read it, the pairs of chosen instances framed, and a key of the
// shading below. Chosen is empty when no selection was made.
void PaintOverlapMatrix(QPainter& Painter, QSizeF Size, const DoubDoubArray& Overlap, const std::vector<bool>& Chosen);

}  // namespace orbench::ui
