#include "PlaneFigure.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <functional>

#include "CaseMixRegions.h"
#include "NumberFormat.h"

namespace orbench::plot {

namespace {

const QColor Gray(128, 128, 128), SurgeryBlue(30, 70, 200), CentreOrange(243, 156, 53);

// A font of Size points (the painter's units are points).
QFont FontOf(double Size)
{
    QFont Font;
    Font.setPointSizeF(Size);
    return Font;
}

enum class TMarker { mkSquare, mkCircle, mkTriangle, mkDiamond };

void DrawMarker(QPainter& Painter, TMarker Marker, QPointF At, double Size, const QColor& Fill, const QPen& Pen)
{
    Painter.setPen(Pen);
    Painter.setBrush(Fill);
    const double h = Size / 2;
    switch (Marker) {
        case TMarker::mkSquare: Painter.drawRect(QRectF(At.x() - h, At.y() - h, Size, Size)); break;
        case TMarker::mkCircle: Painter.drawEllipse(At, h, h); break;
        case TMarker::mkTriangle:
            Painter.drawPolygon(QPolygonF({At + QPointF(0, -h), At + QPointF(h, h), At + QPointF(-h, h)}));
            break;
        case TMarker::mkDiamond:
            Painter.drawPolygon(
                QPolygonF({At + QPointF(0, -h), At + QPointF(h, 0), At + QPointF(0, h), At + QPointF(-h, 0)}));
            break;
    }
}

// An arrow head at the edge, pointing the way the point lies beyond it.
void DrawArrow(QPainter& Painter, QPointF At, QPointF Direction, double Size, const QColor& Fill)
{
    const double Length = std::hypot(Direction.x(), Direction.y());
    const QPointF D = Direction / (Length > 0 ? Length : 1), N(-D.y(), D.x());
    Painter.setPen(Qt::NoPen);
    Painter.setBrush(Fill);
    Painter.drawPolygon(
        QPolygonF({At + D * Size * 0.6, At - D * Size * 0.6 + N * Size * 0.5, At - D * Size * 0.6 - N * Size * 0.5}));
}

QString Decimal(double Value, int Decimals) { return QString::fromStdString(FormatFixedLocale(Value, Decimals)); }

// The ticks' step on an axis reaching Max: 0.2, or 0.5 on wide axes.
double TickStep(double Max) { return Max > 2 ? 0.5 : 0.2; }

// The axis range 0 .. Max: 1, or with Fit the first tick at or above the largest value.
double AxisMax(double Largest, bool Fit)
{
    if (!Fit || Largest <= 1) return 1.0;
    const double Step = TickStep(Largest);
    return std::ceil(Largest / Step - 1e-9) * Step;
}

struct TKeyEntry {
    std::function<void(QPainter&, QPointF)> Symbol;
    QString Text;
};

// Key entries in a grid of as many equal columns as fit within Left .. Right, filled row by row
// from Top; returns the height used.
double PaintKey(QPainter* Painter, const std::vector<TKeyEntry>& Entries, double Left, double Right, double Top,
                double U)
{
    const QFont Font = FontOf(U);
    const QFontMetricsF Metrics(Font);
    const double Row = 1.6 * U, SymbolWidth = 1.6 * U, Gap = 1.2 * U;
    double Column = 0;
    for (const TKeyEntry& Entry : Entries)
        Column = std::max(Column, SymbolWidth + Metrics.horizontalAdvance(Entry.Text));
    const std::size_t Columns = std::clamp<std::size_t>(static_cast<std::size_t>((Right - Left + Gap) / (Column + Gap)),
                                                        1, std::max<std::size_t>(1, Entries.size()));
    for (std::size_t k = 0; Painter != nullptr && k < Entries.size(); ++k) {
        const double X = Left + static_cast<double>(k % Columns) * (Column + Gap),
                     Y = Top + static_cast<double>(k / Columns) * Row;
        Entries[k].Symbol(*Painter, QPointF(X + SymbolWidth / 2 - 0.2 * U, Y + Row / 2));
        Painter->setPen(Qt::black);
        Painter->setFont(Font);
        Painter->drawText(QRectF(X + SymbolWidth, Y, Column, Row), Qt::AlignLeft | Qt::AlignVCenter, Entries[k].Text);
    }
    return static_cast<double>((Entries.size() + Columns - 1) / Columns) * Row;
}

}  // namespace

QColor PaletteColour(int Index)
{
    static const QColor Colours[] = {QColor(0, 114, 178),   QColor(230, 159, 0),  QColor(0, 158, 115),
                                     QColor(204, 121, 167), QColor(86, 180, 233), QColor(213, 94, 0),
                                     QColor(0, 0, 0),       QColor(240, 228, 66)};
    return Colours[static_cast<std::size_t>(Index) % std::size(Colours)];
}

TPlaneDrawn PaintPlaneFigure(QPainter& Painter, QSizeF Size, const TPlaneFigure& Figure)
{
    TPlaneDrawn Drawn;
    const double U = std::min(Size.width(), Size.height()) / 30;  // 8 points in a figure of 8.5 cm
    const double Marker = 0.6 * U;

    // What is shown: each series its points, its marker and colour, and its centre of mass.
    struct TSeries {
        std::vector<QPointF> Points;
        QColor Colour;
        TMarker Shape;
        bool HasCentre;
        QPointF Centre;
        QString Name;
    };
    std::vector<TSeries> Series;
    // Two to eight instances each in a colour and marker of its own, named in the key; one, or more
    // than the palette tells apart, in blue with orange centres.
    constexpr std::size_t MostNamed = 8;
    const bool Several = Figure.Instances.size() > 1 && Figure.Instances.size() <= MostNamed;
    const bool Many = Figure.Instances.size() > MostNamed;
    if (Figure.Instances.empty()) {
        TSeries Types{{}, SurgeryBlue, TMarker::mkSquare, false, {}, "Surgery types"};
        for (const auto& Type : Figure.CaseMix->SurgeryTypes) Types.Points.emplace_back(Type->Xvalue, Type->Yvalue);
        Series.push_back(Types);
    }
    for (std::size_t i = 0; i < Figure.Instances.size(); ++i) {
        const TInstance& Instance = *Figure.Instances[i];
        TSeries S{{},
                  Several ? PaletteColour(static_cast<int>(i)) : SurgeryBlue,
                  Several ? static_cast<TMarker>(i % 4) : TMarker::mkSquare,
                  !Instance.Surgeries.empty(),
                  {},
                  Several ? QString::fromStdString(Figure.Names[i])
                  : Many  ? QString("Surgeries of %1 instances").arg(Figure.Instances.size())
                          : QString("Surgeries")};
        for (const auto& Surgery : Instance.Surgeries)
            S.Points.emplace_back(Surgery->SurgeryType->Xvalue, Surgery->SurgeryType->Yvalue);
        double X = 0, Y = 0;
        Instance.CenterOfMass(X, Y);
        S.Centre = QPointF(X, Y);
        Series.push_back(S);
    }
    double LargestX = 0, LargestY = 0;
    for (const TSeries& S : Series) {
        for (const QPointF& P : S.Points) LargestX = std::max(LargestX, P.x()), LargestY = std::max(LargestY, P.y());
        if (S.HasCentre) LargestX = std::max(LargestX, S.Centre.x()), LargestY = std::max(LargestY, S.Centre.y());
    }
    const double MaxX = AxisMax(LargestX, Figure.Fit), MaxY = AxisMax(LargestY, Figure.Fit);

    // The key, measured first: it takes rows below the axes.
    std::vector<TKeyEntry> Key;
    Key.push_back({[U](QPainter& P, QPointF At) {
                       P.setPen(QPen(Gray, 0.1 * U));
                       P.setBrush(Qt::white);
                       P.drawRect(QRectF(At.x() - 0.5 * U, At.y() - 0.4 * U, U, 0.8 * U));
                   },
                   QString("Region of case-mix type %1").arg(Figure.CaseMixType)});
    for (const TSeries& S : Series) {
        if (Many && &S != &Series.front()) break;
        Key.push_back(
            {[&S, Marker](QPainter& P, QPointF At) { DrawMarker(P, S.Shape, At, Marker, S.Colour, Qt::NoPen); },
             S.Name});
        if (S.HasCentre && !Several)
            Key.push_back({[Marker](QPainter& P, QPointF At) {
                               DrawMarker(P, TMarker::mkCircle, At, 1.7 * Marker, CentreOrange, Qt::NoPen);
                           },
                           Many ? "Centers of mass" : "Center of mass"});
    }
    if (Several)  // each centre in its instance's colour and marker, larger and outlined
        Key.push_back({[Marker, U](QPainter& P, QPointF At) {
                           DrawMarker(P, TMarker::mkCircle, At, 1.7 * Marker, Qt::white, QPen(Qt::black, 0.12 * U));
                       },
                       "Center of mass (larger, outlined)"});
    const bool Arrows = !Figure.Fit && std::any_of(Series.begin(), Series.end(), [](const TSeries& S) {
        return std::any_of(S.Points.begin(), S.Points.end(),
                           [](QPointF P) { return P.x() > 1 || P.y() > 1 || P.x() < 0 || P.y() < 0; });
    });
    if (Arrows)
        Key.push_back({[Marker](QPainter& P, QPointF At) { DrawArrow(P, At, QPointF(1, 0), 1.4 * Marker, Qt::black); },
                       "beyond the square, at its edge"});
    const double Left = 4.2 * U, Right = 1.2 * U, Bottom = 3.4 * U;
    const double Top = Figure.Title.isEmpty() ? 1.0 * U : 2.6 * U;
    const double KeyHeight = PaintKey(nullptr, Key, 0.8 * U, Size.width() - 0.8 * U, 0, U) + 0.4 * U;
    const double Side = std::max(1.0, std::min(Size.width() - Left - Right, Size.height() - Top - Bottom - KeyHeight));
    const QRectF Plot(Left + (Size.width() - Left - Right - Side) / 2, Top, Side, Side);
    const auto ToFigure = [&Plot, MaxX, MaxY](QPointF P) {
        return QPointF(Plot.left() + P.x() / MaxX * Plot.width(), Plot.bottom() - P.y() / MaxY * Plot.height());
    };

    if (!Figure.Title.isEmpty()) {
        Painter.setPen(Qt::black);
        Painter.setFont(FontOf(1.25 * U));
        Painter.drawText(QRectF(0, 0, Size.width(), Top), Qt::AlignHCenter | Qt::AlignVCenter, Figure.Title);
    }
    // The region: its layers within the unit square, bottom to top.
    const ui::TCaseMixRegion Region = ui::CaseMixRegion(Figure.CaseMixType);
    Painter.setPen(Qt::NoPen);
    for (int Layer = 0; Layer < 4; ++Layer) {
        QPolygonF Outline;
        for (const ui::TPlanePoint& P :
             ui::ClipToBox(ui::ShapeOutline(Layer, Region[static_cast<std::size_t>(Layer)]), 0, 0, 1, 1))
            Outline << ToFigure(QPointF(P.X, P.Y));
        if (Outline.isEmpty()) continue;
        Painter.setBrush(Layer == ui::rlGrayRectangle || Layer == ui::rlGrayTriangle ? Gray : QColor(Qt::white));
        Painter.drawPolygon(Outline);
    }
    // Axes: the frame, ticks every 0.2 (0.5 on wide axes) and their titles.
    Painter.setBrush(Qt::NoBrush);
    Painter.setPen(QPen(Qt::black, 0.08 * U));
    Painter.drawRect(Plot);
    Painter.setFont(FontOf(U));
    for (const bool Horizontal : {true, false}) {
        const double Max = Horizontal ? MaxX : MaxY, Step = TickStep(Max);
        for (double T = 0; T <= Max + 1e-9; T += Step) {
            const QPointF At = ToFigure(Horizontal ? QPointF(T, 0) : QPointF(0, T));
            const QString Text = Decimal(T, 1);
            if (Horizontal) {
                Painter.drawLine(At, At + QPointF(0, 0.4 * U));
                Painter.drawText(QRectF(At.x() - 2 * U, At.y() + 0.5 * U, 4 * U, 1.3 * U),
                                 Qt::AlignHCenter | Qt::AlignTop, Text);
            } else {
                Painter.drawLine(At, At - QPointF(0.4 * U, 0));
                Painter.drawText(QRectF(At.x() - 4.6 * U, At.y() - 0.7 * U, 4 * U, 1.4 * U),
                                 Qt::AlignRight | Qt::AlignVCenter, Text);
            }
        }
    }
    Painter.setFont(FontOf(1.1 * U));
    const QString XTitle = Figure.WordLabels ? "mean / capacity" : QString::fromUtf8("\u03bc/c");
    const QString YTitle = Figure.WordLabels ? "CV" : QString::fromUtf8("\u03c3/\u03bc");
    Painter.drawText(QRectF(Plot.left(), Plot.bottom() + 1.8 * U, Plot.width(), 1.6 * U),
                     Qt::AlignHCenter | Qt::AlignVCenter, XTitle);
    Painter.save();
    Painter.translate(Plot.left() - 3.4 * U, Plot.center().y());
    Painter.rotate(-90);
    Painter.drawText(QRectF(-Plot.height() / 2, -0.8 * U, Plot.height(), 1.6 * U), Qt::AlignHCenter | Qt::AlignVCenter,
                     YTitle);
    Painter.restore();

    // The points, then the centres of mass over them; beyond the axes an arrow at the edge.
    for (const TSeries& S : Series) {
        for (const QPointF& P : S.Points) {
            ++Drawn.Points;
            const bool Beyond = P.x() > MaxX || P.y() > MaxY || P.x() < 0 || P.y() < 0;
            if (P.x() > 1 || P.y() > 1 || P.x() < 0 || P.y() < 0) ++Drawn.Outside;
            if (!Beyond) {
                DrawMarker(Painter, S.Shape, ToFigure(P), Marker, S.Colour, Qt::NoPen);
                continue;
            }
            const QPointF Edge(std::clamp(P.x(), 0.0, MaxX), std::clamp(P.y(), 0.0, MaxY));
            DrawArrow(Painter, ToFigure(Edge), ToFigure(P) - ToFigure(Edge), 1.4 * Marker, S.Colour);
        }
    }
    for (const TSeries& S : Series) {
        if (!S.HasCentre) continue;
        ++Drawn.Centres;
        const QPointF At = ToFigure(QPointF(std::clamp(S.Centre.x(), 0.0, MaxX), std::clamp(S.Centre.y(), 0.0, MaxY)));
        if (Several)
            DrawMarker(Painter, S.Shape, At, 1.7 * Marker, S.Colour, QPen(Qt::black, 0.12 * U));
        else
            DrawMarker(Painter, TMarker::mkCircle, At, 1.7 * Marker, CentreOrange, Qt::NoPen);
    }
    PaintKey(&Painter, Key, 0.8 * U, Size.width() - 0.8 * U, Plot.bottom() + Bottom, U);
    return Drawn;
}

void PaintStatsFigure(QPainter& Painter, QSizeF Size, const TInstanceStats& Stats, const QString& Title)
{
    const double U = std::min(Size.width() / 2, Size.height()) / 30;
    const double Top = Title.isEmpty() ? 1.0 * U : 2.6 * U;
    if (!Title.isEmpty()) {
        Painter.setPen(Qt::black);
        Painter.setFont(FontOf(1.25 * U));
        Painter.drawText(QRectF(0, 0, Size.width(), Top), Qt::AlignHCenter | Qt::AlignVCenter, Title);
    }
    // A bar chart in Frame: Counts over Labels, with a title under the axis.
    const auto Bars = [&Painter, U](QRectF Frame, const std::vector<std::int64_t>& Counts, const QStringList& Labels,
                                    const QString& Axis, const QColor& Colour) {
        const QRectF Plot = Frame.adjusted(4 * U, 0.5 * U, -0.5 * U, -3.6 * U);
        const std::int64_t Largest = std::max<std::int64_t>(1, *std::max_element(Counts.begin(), Counts.end()));
        const double Step = Plot.width() / static_cast<double>(Counts.size());
        Painter.setPen(Qt::NoPen);
        Painter.setBrush(Colour);
        for (std::size_t k = 0; k < Counts.size(); ++k) {
            const double Height = Plot.height() * static_cast<double>(Counts[k]) / static_cast<double>(Largest);
            Painter.drawRect(QRectF(Plot.left() + k * Step + 0.1 * Step, Plot.bottom() - Height, 0.8 * Step, Height));
        }
        Painter.setBrush(Qt::NoBrush);
        Painter.setPen(QPen(Qt::black, 0.08 * U));
        Painter.drawLine(Plot.bottomLeft(), Plot.bottomRight());
        Painter.drawLine(Plot.bottomLeft(), Plot.topLeft());
        Painter.setFont(FontOf(0.9 * U));
        const int Every = static_cast<int>(std::ceil(static_cast<double>(Counts.size()) * 1.2 * U / Plot.width() * 3));
        for (int k = 0; k < Labels.size(); ++k) {
            if (k % std::max(1, Every) != 0) continue;
            Painter.drawText(QRectF(Plot.left() + k * Step - Step, Plot.bottom() + 0.3 * U, 3 * Step, 1.2 * U),
                             Qt::AlignHCenter | Qt::AlignTop, Labels[k]);
        }
        for (const double Share : {0.0, 0.5, 1.0}) {
            const double Y = Plot.bottom() - Share * Plot.height();
            Painter.drawLine(QPointF(Plot.left() - 0.3 * U, Y), QPointF(Plot.left(), Y));
            Painter.drawText(
                QRectF(Plot.left() - 4 * U, Y - 0.7 * U, 3.5 * U, 1.4 * U), Qt::AlignRight | Qt::AlignVCenter,
                QString::number(static_cast<long long>(std::llround(Share * static_cast<double>(Largest)))));
        }
        Painter.setFont(FontOf(1.1 * U));
        Painter.drawText(QRectF(Plot.left(), Plot.bottom() + 1.8 * U, Plot.width(), 1.6 * U),
                         Qt::AlignHCenter | Qt::AlignVCenter, Axis);
    };
    // Loads: ten bins from the smallest to the largest load.
    double Low = 0, High = 0;
    for (std::size_t i = 0; i < Stats.Rows.size(); ++i) {
        Low = i == 0 ? Stats.Rows[i].Load : std::min(Low, Stats.Rows[i].Load);
        High = i == 0 ? Stats.Rows[i].Load : std::max(High, Stats.Rows[i].Load);
    }
    if (!(High > Low)) Low -= 0.005, High += 0.005;
    constexpr int Bins = 10;
    std::vector<std::int64_t> LoadCounts(Bins, 0);
    for (const TInstanceStatsRow& Row : Stats.Rows)
        ++LoadCounts[static_cast<std::size_t>(
            std::clamp(static_cast<int>((Row.Load - Low) / (High - Low) * Bins), 0, Bins - 1))];
    QStringList LoadLabels;
    for (int k = 0; k < Bins; ++k) LoadLabels << Decimal(Low + (k + 0.5) * (High - Low) / Bins, 3);
    const double Half = Size.width() / 2;
    Bars(QRectF(0, Top, Half, Size.height() - Top), LoadCounts, LoadLabels, "load of an instance (count of instances)",
         PaletteColour(0));
    std::vector<std::int64_t> Regions(Stats.Summary.RegionCounts.begin(), Stats.Summary.RegionCounts.end());
    QStringList TypeLabels;
    for (int t = 0; t < NumCaseMixTypes; ++t) TypeLabels << QString::number(t);
    Bars(QRectF(Half, Top, Half, Size.height() - Top), Regions, TypeLabels, "case-mix type region (count of surgeries)",
         PaletteColour(2));
}

}  // namespace orbench::plot
