#pragma once

#include <QChartView>
#include <QPixmap>
#include <QPointF>
#include <QVector>
#include <vector>

#include "CaseMixRegions.h"

class QAreaSeries;
class QGraphicsEllipseItem;
class QLineSeries;
class QScatterSeries;
class QPushButton;
class QLabel;
class QPainter;
class QValueAxis;

namespace orbench {
class TCaseMix;
class TInstance;
}  // namespace orbench

namespace orbench::ui {

// The plane of mean duration over OR-day capacity (X) against coefficient of variation (Y): the
// region of a case-mix type in white on gray, the surgeries of an instance as small squares and
// their centre of mass as a circle. Zoom by dragging a rectangle or with the wheel; "Undo zoom"
// and a right-click show the unit square again, and no zoom ever shows more than it. The tick
// labels keep as many decimals as the zoomed range needs. A click on a point reports it instead
// of starting a zoom. The region is drawn only as far as it lies in view, so that a picture of the
// chart (which a vector format cannot clip) shows what the screen shows.
class TSurgeryChart : public QChartView {
    Q_OBJECT

public:
    explicit TSurgeryChart(QWidget* Parent = nullptr);

    // Empties all layers, then paints the region of the case-mix type (nothing outside 0..16).
    void DrawCaseMixImage(int CaseMixNr);
    // Empties the surgery and centre-of-mass layers.
    void ClearSurgeryPoints();
    // One point per surgery at its type's plane coordinates (point k is surgery k), and the
    // instance's centre of mass.
    void PlotInstance(const TInstance& Instance);
    // Paints what the chart shows now (zoom included, without the "Undo zoom" button) at its
    // size, with the painter's origin at its top left corner.
    void RenderPicture(QPainter& Painter);

    // What the layers hold: the region shape of layer 0..3 (as drawn), the surgery points and
    // the centre of mass (empty when not shown).
    const TRegionShape& LayerShape(int Layer) const { return FShapes[static_cast<std::size_t>(Layer)]; }
    QVector<QPointF> SurgeryPoints() const;
    QVector<QPointF> CenterOfMassPoints() const;
    // Where point k / centre of mass k is drawn, in the view's coordinates.
    QPoint SurgeryPosition(int Index) const;
    QPoint CenterOfMassPosition(int Index = 0) const;
    QPushButton* UndoZoomButton() const { return FUndoZoomB; }
    QValueAxis* AxisX() const { return FAxisX; }
    QValueAxis* AxisY() const { return FAxisY; }
    // The whole unit square again.
    void UndoZoom();

signals:
    void SurgeryClicked(int Index);
    void CenterOfMassClicked(QPointF Point);

protected:
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void wheelEvent(QWheelEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void showEvent(QShowEvent* Event) override;

private:
    void SetShape(int Layer, const TRegionShape& Shape);
    // Puts the part of the layer's shape that lies in view into its area series.
    void ShowShapeInView(int Layer);
    void PlotPoints(const QList<QPointF>& Surgeries, const QList<QPointF>& CentresOfMass);
    QPoint ViewPosition(const QPointF& Value) const;
    // Moves a zoomed-out range back inside 0..1 (keeping its width where it fits).
    void KeepInUnitSquare();
    // The centres of mass are drawn above the plot area's clipping, so that they show whole on
    // the axes too; they follow their points, the zoom and the plot area.
    void PlaceCenterOfMassMarkers();
    void PlaceKey();

    QAreaSeries* FLayers[4] = {};
    QLineSeries* FUpper[4] = {};
    QLineSeries* FLower[4] = {};
    TRegionShape FShapes[4];
    QScatterSeries* FSurgeries;     // Series1
    QScatterSeries* FCenterOfMass;  // Series6: holds the points; drawn by FCenterOfMassMarkers
    QVector<QGraphicsEllipseItem*> FCenterOfMassMarkers;
    QValueAxis* FAxisX;
    QValueAxis* FAxisY;
    QPushButton* FUndoZoomB;
    QLabel* FKey;
    QWidget* FKeyDot;
    bool FPressOnPoint = false;
};

// The 36 x 36 picture of a case-mix type's region (white inside, gray outside) for the type
// selector.
QPixmap CaseMixTypePicture(int CaseMixType, int Size = 36);

}  // namespace orbench::ui
