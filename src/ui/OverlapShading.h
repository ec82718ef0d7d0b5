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
// The colour of a cell's text: of black and white the one with the higher contrast ratio (WCAG 2)
// against the cell's shade, at least 4.5 to 1 on every shade.
QColor OverlapTextColour(double Value);
// WCAG 2's relative luminance of a colour and the contrast ratio of two (1 to 21).
double RelativeLuminance(const QColor& Colour);
double ContrastRatio(const QColor& A, const QColor& B);
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
