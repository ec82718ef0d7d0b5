#include "OverlapShading.h"

#include <cmath>

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <algorithm>

#include "NumberFormat.h"
#include "UiServices.h"

namespace orbench::ui {

namespace {

const QColor Strong(31, 90, 200);
const QColor HeaderFill(236, 236, 236);
const QColor GridLine(190, 190, 190);
const QColor TextColour(64, 64, 68);
const QColor ChosenFrame(255, 128, 64);
const QColor ChosenHeaderFill(255, 214, 186);
const char* const ChosenMark = " \u2713";
// Smaller text cannot be read: the cells stay without numbers.
constexpr double SmallestText = 6;

// The largest pixel size (up to Limit) at which Text fits into Width.
double FittingPixelSize(const QFont& Font, const QString& Text, double Width, double Limit)
{
    QFont Probe = Font;
    Probe.setPixelSize(100);
    const double Advance = QFontMetricsF(Probe).horizontalAdvance(Text);
    return Advance > 0 ? std::min(Limit, 100 * Width / Advance) : Limit;
}

QFont WithPixelSize(QFont Font, double PixelSize, bool Bold = false)
{
    Font.setPixelSize(std::max(1, static_cast<int>(PixelSize)));
    Font.setBold(Bold);
    return Font;
}

}  // namespace

QColor OverlapShade(double Value)
{
    const double t = Value < 0 ? 0 : Value > 1 ? 1 : Value;
    return QColor(static_cast<int>(255 + (Strong.red() - 255) * t), static_cast<int>(255 + (Strong.green() - 255) * t),
                  static_cast<int>(255 + (Strong.blue() - 255) * t));
}

double RelativeLuminance(const QColor& Colour)
{
    // WCAG 2: the sRGB channels made linear, weighted.
    const auto Linear = [](int Channel) {
        const double C = Channel / 255.0;
        return C <= 0.03928 ? C / 12.92 : std::pow((C + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * Linear(Colour.red()) + 0.7152 * Linear(Colour.green()) + 0.0722 * Linear(Colour.blue());
}

double ContrastRatio(const QColor& A, const QColor& B)
{
    const double La = RelativeLuminance(A), Lb = RelativeLuminance(B);
    return (std::max(La, Lb) + 0.05) / (std::min(La, Lb) + 0.05);
}

QColor OverlapTextColour(double Value)
{
    // Of black and white the one that stands out more from the cell: at least 4.58 to 1 on any shade.
    const QColor Shade = OverlapShade(Value);
    return ContrastRatio(Shade, Qt::white) > ContrastRatio(Shade, Qt::black) ? QColor(Qt::white) : QColor(Qt::black);
}

QString OverlapCellText(double Value) { return FromModel(FormatFixedLocale(Value, 3)); }

QString OverlapHeaderText(int I, bool Chosen) { return QString::number(I) + (Chosen ? ChosenMark : ""); }

void PaintOverlapMatrix(QPainter& Painter, QSizeF Size, const DoubDoubArray& Overlap, const std::vector<bool>& Chosen)
{
    const int N = static_cast<int>(Overlap.size());
    const auto IsChosen = [&Chosen](int I) { return static_cast<std::size_t>(I) < Chosen.size() && Chosen[I]; };
    const double Margin = 0.03 * std::min(Size.width(), Size.height());
    const double KeyHeight = 0.1 * Size.height();
    // Square cells; the headers are one cell wide.
    const double Cell = std::max(
        1.0, std::min((Size.width() - 2 * Margin) / (N + 1), (Size.height() - 2 * Margin - KeyHeight) / (N + 1)));
    const double Left = (Size.width() - (N + 1) * Cell) / 2;
    const double Top = Margin;
    const auto CellRect = [&](int Row, int Column) {  // -1: the header
        return QRectF(Left + (Column + 1) * Cell, Top + (Row + 1) * Cell, Cell, Cell);
    };
    Painter.save();
    Painter.setRenderHint(QPainter::Antialiasing, false);

    // Headers.
    const QFont Base = Painter.font();
    const bool AnyChosen = std::find(Chosen.begin(), Chosen.end(), true) != Chosen.end();
    const QString Widest = OverlapHeaderText(std::max(N - 1, 10), AnyChosen);
    // Numbers in small headers may fill more of them than numbers in large ones.
    const double HeaderSize =
        FittingPixelSize(Base, Widest, 0.85 * Cell, std::min(0.5 * Cell, std::max(0.24 * Cell, 9.0)));
    Painter.setPen(Qt::NoPen);
    Painter.setBrush(HeaderFill);
    Painter.drawRect(QRectF(Left, Top, (N + 1) * Cell, Cell));
    Painter.drawRect(QRectF(Left, Top, Cell, (N + 1) * Cell));
    // Chosen instances: their headers tinted, also where they are too small for a number.
    Painter.setBrush(ChosenHeaderFill);
    for (int i = 0; i < N; ++i)
        if (IsChosen(i)) {
            Painter.drawRect(CellRect(-1, i));
            Painter.drawRect(CellRect(i, -1));
        }
    if (HeaderSize >= SmallestText) {
        Painter.setPen(TextColour);
        for (int i = 0; i < N; ++i) {
            Painter.setFont(WithPixelSize(Base, HeaderSize, IsChosen(i)));
            Painter.drawText(CellRect(-1, i), Qt::AlignCenter, OverlapHeaderText(i, IsChosen(i)));
            Painter.drawText(CellRect(i, -1), Qt::AlignCenter, OverlapHeaderText(i, IsChosen(i)));
        }
    }

    // Cells: overlap[i][r] is shown in row r, column i, as in the window.
    const double CellTextSize = FittingPixelSize(Base, OverlapCellText(0.888), 0.85 * Cell, 0.24 * Cell);
    Painter.setFont(WithPixelSize(Base, CellTextSize));
    for (int i = 0; i < N; ++i)
        for (int r = 0; r < N; ++r) {
            const double Value = Overlap[static_cast<std::size_t>(i)][static_cast<std::size_t>(r)];
            Painter.fillRect(CellRect(r, i), OverlapShade(Value));
            if (CellTextSize < SmallestText) continue;
            Painter.setPen(OverlapTextColour(Value));
            Painter.drawText(CellRect(r, i), Qt::AlignCenter, OverlapCellText(Value));
        }
    Painter.setPen(QPen(GridLine, 0));
    for (int k = 0; k <= N + 1; ++k) {
        Painter.drawLine(QPointF(Left + k * Cell, Top), QPointF(Left + k * Cell, Top + (N + 1) * Cell));
        Painter.drawLine(QPointF(Left, Top + k * Cell), QPointF(Left + (N + 1) * Cell, Top + k * Cell));
    }
    // The pairs of chosen instances.
    Painter.setPen(QPen(ChosenFrame, std::max(1.0, 0.06 * Cell)));
    Painter.setBrush(Qt::NoBrush);
    for (int i = 0; i < N; ++i)
        for (int r = 0; r < N; ++r)
            if (IsChosen(i) && IsChosen(r)) Painter.drawRect(CellRect(r, i));

    // The key: the shading from 0 to 1.
    const double KeyTop = Top + (N + 1) * Cell + 0.3 * KeyHeight;
    const QRectF Bar(Left + Cell, KeyTop, N * Cell, 0.3 * KeyHeight);
    QLinearGradient Gradient(Bar.topLeft(), Bar.topRight());
    Gradient.setColorAt(0, OverlapShade(0));
    Gradient.setColorAt(1, OverlapShade(1));
    Painter.setPen(QPen(GridLine, 0));
    Painter.setBrush(Gradient);
    Painter.drawRect(Bar);
    const double KeyTextSize = std::min(0.3 * KeyHeight, std::max(HeaderSize, 11.0));
    Painter.setFont(WithPixelSize(Base, KeyTextSize));
    Painter.setPen(TextColour);
    const QRectF Below(Bar.left(), Bar.bottom(), Bar.width(), 0.4 * KeyHeight);
    Painter.drawText(Below, Qt::AlignLeft | Qt::AlignVCenter, "0");
    Painter.drawText(Below, Qt::AlignHCenter | Qt::AlignVCenter, "overlap");
    Painter.drawText(Below, Qt::AlignRight | Qt::AlignVCenter, "1");
    Painter.restore();
}

}  // namespace orbench::ui
