#include "SurgeryChart.h"

#include <QAreaSeries>
#include <QChart>
#include <QGraphicsEllipseItem>
#include <QGraphicsLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <QPushButton>
#include <QScatterSeries>
#include <QShowEvent>
#include <QValueAxis>
#include <QWheelEvent>
#include <cmath>
#include <utility>

#include "ChartAxes.h"
#include "Model.h"

namespace orbench::ui {

namespace {

const QColor Gray(128, 128, 128);
const QColor TitleColour(255, 128, 64);
const QColor CenterFill(243, 156, 53);
const QColor CenterOutline(255, 128, 64);
const QColor SurgeryColour(30, 70, 200);
constexpr double SurgerySize = 7;
constexpr double CenterSize = 10;
constexpr int EdgeMargin = 8;
constexpr int AxisTicks = 11;

bool IsGrayLayer(int Layer) { return Layer == rlGrayRectangle || Layer == rlGrayTriangle; }

// The dot of the key: painted, so that a vector picture of the chart keeps it a circle.
class TKeyDot : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter Painter(this);
        Painter.setRenderHint(QPainter::Antialiasing);
        Painter.setPen(CenterOutline);
        Painter.setBrush(CenterFill);
        Painter.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    }
};

}  // namespace

TSurgeryChart::TSurgeryChart(QWidget* Parent) : QChartView(new QChart(), Parent)
{
    setObjectName("SurgChart");
    QChart* Chart = chart();
    Chart->setTitle("Generated surgeries");
    QFont TitleFont = Chart->titleFont();
    TitleFont.setPixelSize(25);
    Chart->setTitleFont(TitleFont);
    Chart->setTitleBrush(TitleColour);
    Chart->legend()->hide();
    // The white chart fills the whole view, so that the button and the key lie on it.
    Chart->setBackgroundBrush(Qt::white);
    Chart->setBackgroundRoundness(0);
    Chart->layout()->setContentsMargins(0, 0, 0, 0);
    Chart->setPlotAreaBackgroundVisible(false);
    setFrameShape(QFrame::NoFrame);
    setBackgroundBrush(Qt::white);

    FAxisX = new QValueAxis();
    FAxisY = new QValueAxis();
    for (QValueAxis* Axis : {FAxisX, FAxisY}) {
        SetRangeWithRoundTicks(Axis, 0, 1, AxisTicks);
        Axis->setGridLineVisible(false);
        Axis->setMinorGridLineVisible(false);
        QFont Font = Axis->titleFont();
        Font.setPixelSize(13);
        Axis->setTitleFont(Font);
        connect(Axis, &QValueAxis::rangeChanged, this, [this, Axis] {
            SetRoundTicks(Axis, AxisTicks);
            for (int k = 0; k < 4; ++k) ShowShapeInView(k);
            PlaceCenterOfMassMarkers();
        });
    }
    FAxisX->setTitleText("mu/ c");
    FAxisY->setTitleText("sigma/mu");
    Chart->addAxis(FAxisX, Qt::AlignBottom);
    Chart->addAxis(FAxisY, Qt::AlignLeft);

    // The layers in drawing order: region shapes, surgeries, centre of mass.
    const char* LayerNames[4] = {"Series3", "Series5", "Series4", "Series2"};
    for (int k = 0; k < 4; ++k) {
        FUpper[k] = new QLineSeries(Chart);
        FLower[k] = new QLineSeries(Chart);
        FLayers[k] = new QAreaSeries(FUpper[k], FLower[k]);
        FLayers[k]->setObjectName(LayerNames[k]);
        FLayers[k]->setPen(Qt::NoPen);
        FLayers[k]->setBrush(IsGrayLayer(k) ? Gray : QColor(Qt::white));
        Chart->addSeries(FLayers[k]);
    }
    FSurgeries = new QScatterSeries();
    FSurgeries->setObjectName("Series1");
    FSurgeries->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    FSurgeries->setMarkerSize(SurgerySize);
    FSurgeries->setColor(SurgeryColour);
    FSurgeries->setBorderColor(SurgeryColour.darker(140));
    Chart->addSeries(FSurgeries);
    FCenterOfMass = new QScatterSeries();
    FCenterOfMass->setObjectName("Series6");
    FCenterOfMass->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    FCenterOfMass->setMarkerSize(CenterSize);
    FCenterOfMass->setColor(CenterFill);
    FCenterOfMass->setPen(Qt::NoPen);
    FCenterOfMass->setOpacity(0);
    Chart->addSeries(FCenterOfMass);
    for (QAbstractSeries* Series : Chart->series()) {
        Series->attachAxis(FAxisX);
        Series->attachAxis(FAxisY);
    }
    setRenderHint(QPainter::Antialiasing);
    setRubberBand(QChartView::RectangleRubberBand);

    connect(Chart, &QChart::plotAreaChanged, this, [this] { PlaceCenterOfMassMarkers(); });

    FUndoZoomB = new QPushButton("Undo zoom", this);
    FUndoZoomB->setObjectName("UndoZoomB");
    FUndoZoomB->move(EdgeMargin, EdgeMargin);
    FUndoZoomB->adjustSize();
    connect(FUndoZoomB, &QPushButton::clicked, this, [this] { UndoZoom(); });

    FKey = new QLabel(": Center of mass", this);
    FKey->setObjectName("CenterOfMassKey");
    FKeyDot = new TKeyDot(this);
    FKeyDot->setObjectName("CenterOfMassKeyDot");
    FKeyDot->setAttribute(Qt::WA_TransparentForMouseEvents);
    FKey->setAttribute(Qt::WA_TransparentForMouseEvents);
    DrawCaseMixImage(0);
}

void TSurgeryChart::UndoZoom()
{
    // The axes count their ticks while the range widens (see SetRangeWithRoundTicks).
    for (QValueAxis* Axis : {FAxisX, FAxisY}) Axis->setTickType(QValueAxis::TicksFixed);
    chart()->zoomReset();
    for (QValueAxis* Axis : {FAxisX, FAxisY}) SetRangeWithRoundTicks(Axis, 0, 1, AxisTicks);
}

void TSurgeryChart::KeepInUnitSquare()
{
    for (QValueAxis* Axis : {FAxisX, FAxisY}) {
        const double Width = Axis->max() - Axis->min();
        if (Width >= 1)
            SetRangeWithRoundTicks(Axis, 0, 1, AxisTicks);
        else if (Axis->min() < 0)
            SetRangeWithRoundTicks(Axis, 0, Width, AxisTicks);
        else if (Axis->max() > 1)
            SetRangeWithRoundTicks(Axis, 1 - Width, 1, AxisTicks);
    }
}

void TSurgeryChart::PlaceCenterOfMassMarkers()
{
    while (FCenterOfMassMarkers.size() < FCenterOfMass->count()) {
        auto* Marker = new QGraphicsEllipseItem(-CenterSize / 2, -CenterSize / 2, CenterSize, CenterSize);
        Marker->setPen(Qt::NoPen);
        Marker->setBrush(CenterFill);
        Marker->setZValue(1e6);
        scene()->addItem(Marker);
        FCenterOfMassMarkers.append(Marker);
    }
    for (qsizetype k = 0; k < FCenterOfMassMarkers.size(); ++k) {
        QGraphicsEllipseItem* Marker = FCenterOfMassMarkers[k];
        if (k >= FCenterOfMass->count()) {
            Marker->setVisible(false);
            continue;
        }
        const QPointF Point = FCenterOfMass->at(static_cast<int>(k));
        const bool Shown = Point.x() >= FAxisX->min() && Point.x() <= FAxisX->max() && Point.y() >= FAxisY->min() &&
                           Point.y() <= FAxisY->max();
        Marker->setPos(chart()->mapToScene(chart()->mapToPosition(Point, FCenterOfMass)));
        Marker->setVisible(Shown);
    }
}

void TSurgeryChart::SetShape(int Layer, const TRegionShape& Shape)
{
    FShapes[Layer] = Shape;
    ShowShapeInView(Layer);
}

void TSurgeryChart::ShowShapeInView(int Layer)
{
    if (FUpper[Layer] == nullptr) return;
    std::vector<TPlanePoint> Upper;
    std::vector<TPlanePoint> Lower;
    OutlineToBounds(
        ClipToBox(ShapeOutline(Layer, FShapes[Layer]), FAxisX->min(), FAxisY->min(), FAxisX->max(), FAxisY->max()),
        Upper, Lower);
    const auto ToList = [](const std::vector<TPlanePoint>& Points) {
        QList<QPointF> List;
        for (const TPlanePoint& P : Points) List.append(QPointF(P.X, P.Y));
        return List;
    };
    FUpper[Layer]->replace(ToList(Upper));
    FLower[Layer]->replace(ToList(Lower));
}

void TSurgeryChart::DrawCaseMixImage(int CaseMixNr)
{
    ClearSurgeryPoints();
    const TCaseMixRegion Region = CaseMixRegion(CaseMixNr);
    for (int k = 0; k < 4; ++k) SetShape(k, Region[static_cast<std::size_t>(k)]);
}

void TSurgeryChart::ClearSurgeryPoints()
{
    FSurgeries->clear();
    FCenterOfMass->clear();
    PlaceCenterOfMassMarkers();
}

void TSurgeryChart::PlotPoints(const QList<QPointF>& Surgeries, const QList<QPointF>& CentresOfMass)
{
    FSurgeries->replace(Surgeries);
    FCenterOfMass->replace(CentresOfMass);
    PlaceCenterOfMassMarkers();
}

void TSurgeryChart::PlotInstance(const TInstance& Instance)
{
    QList<QPointF> Points;
    for (const auto& Surgery : Instance.Surgeries)
        Points.append(QPointF(Surgery->SurgeryType->Xvalue, Surgery->SurgeryType->Yvalue));
    double X = 0;
    double Y = 0;
    Instance.CenterOfMass(X, Y);
    PlotPoints(Points, {QPointF(X, Y)});
}

void TSurgeryChart::RenderPicture(QPainter& Painter)
{
    const bool ButtonShown = FUndoZoomB->isVisible();
    FUndoZoomB->hide();
    QWidget::render(&Painter, QPoint(), QRegion(), QWidget::DrawChildren);
    FUndoZoomB->setVisible(ButtonShown);
}

QVector<QPointF> TSurgeryChart::SurgeryPoints() const { return FSurgeries->points(); }

QVector<QPointF> TSurgeryChart::CenterOfMassPoints() const { return FCenterOfMass->points(); }

QPoint TSurgeryChart::ViewPosition(const QPointF& Value) const
{
    return mapFromScene(chart()->mapToPosition(Value, FSurgeries));
}

QPoint TSurgeryChart::SurgeryPosition(int Index) const { return ViewPosition(FSurgeries->at(Index)); }

QPoint TSurgeryChart::CenterOfMassPosition(int Index) const { return ViewPosition(FCenterOfMass->at(Index)); }

void TSurgeryChart::mousePressEvent(QMouseEvent* Event)
{
    const QPointF Pos = Event->position();
    FPressOnPoint = false;
    // The centres of mass lie over the surgeries; among points on one spot the last drawn is hit.
    for (int k = FCenterOfMass->count() - 1; k >= 0; --k) {
        const QPointF C = ViewPosition(FCenterOfMass->at(k));
        if (std::hypot(C.x() - Pos.x(), C.y() - Pos.y()) <= CenterSize / 2 + 1) {
            Event->accept();
            FPressOnPoint = true;
            emit CenterOfMassClicked(FCenterOfMass->at(k));
            return;
        }
    }
    for (int k = FSurgeries->count() - 1; k >= 0; --k) {
        const QPointF P = ViewPosition(FSurgeries->at(k));
        if (std::fabs(P.x() - Pos.x()) <= SurgerySize / 2 + 1 && std::fabs(P.y() - Pos.y()) <= SurgerySize / 2 + 1) {
            Event->accept();
            FPressOnPoint = true;
            emit SurgeryClicked(k);
            return;
        }
    }
    QChartView::mousePressEvent(Event);
}

void TSurgeryChart::mouseReleaseEvent(QMouseEvent* Event)
{
    // The release of a click on a point does nothing more; a right-click elsewhere would make the
    // view zoom out by a factor of two, beyond the unit square.
    if (std::exchange(FPressOnPoint, false)) {
        Event->accept();
        return;
    }
    if (Event->button() == Qt::RightButton) {
        Event->accept();
        UndoZoom();
        return;
    }
    QChartView::mouseReleaseEvent(Event);
}

void TSurgeryChart::wheelEvent(QWheelEvent* Event)
{
    const int Steps = Event->angleDelta().y();
    if (Steps != 0) {
        chart()->zoom(Steps > 0 ? 1.25 : 0.8);
        if (Steps < 0) KeepInUnitSquare();
    }
    Event->accept();
}

void TSurgeryChart::PlaceKey()
{
    // The key in the lower right corner: the dot, then its text, inside the white chart.
    FKey->resize(FKey->sizeHint());
    const int Y = height() - FKey->height() - EdgeMargin;
    const int X = width() - FKey->width() - EdgeMargin;
    FKey->move(X, Y);
    FKeyDot->resize(12, 12);
    FKeyDot->move(X - 14, Y + (FKey->height() - 12) / 2);
    FUndoZoomB->resize(FUndoZoomB->sizeHint());
}

void TSurgeryChart::resizeEvent(QResizeEvent* Event)
{
    QChartView::resizeEvent(Event);
    PlaceKey();
    PlaceCenterOfMassMarkers();
}

void TSurgeryChart::showEvent(QShowEvent* Event)
{
    QChartView::showEvent(Event);
    PlaceKey();
    PlaceCenterOfMassMarkers();
}

QPixmap CaseMixTypePicture(int CaseMixType, int Size)
{
    QPixmap Picture(Size, Size);
    Picture.fill(Qt::white);
    QPainter Painter(&Picture);
    Painter.setRenderHint(QPainter::Antialiasing);
    Painter.setPen(Qt::NoPen);
    Painter.setClipRect(0, 0, Size, Size);
    // Plane (0..1, 0..1) to pixels, Y upwards.
    auto ToPixel = [Size](double X, double Y) { return QPointF(X * Size, (1 - Y) * Size); };
    const TCaseMixRegion Region = CaseMixRegion(CaseMixType);
    for (int k = 0; k < 4; ++k) {
        const TRegionShape& Shape = Region[static_cast<std::size_t>(k)];
        if (!Shape.Present) continue;
        Painter.setBrush(IsGrayLayer(k) ? Gray : QColor(Qt::white));
        QPolygonF Outline;
        for (const TPlanePoint& P : ShapeOutline(k, Shape)) Outline << ToPixel(P.X, P.Y);
        Painter.drawPolygon(Outline);
    }
    Painter.setPen(QColor(90, 90, 90));
    Painter.setBrush(Qt::NoBrush);
    Painter.drawRect(QRectF(0.5, 0.5, Size - 1, Size - 1));
    return Picture;
}

}  // namespace orbench::ui
