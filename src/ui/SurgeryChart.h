#pragma once

#include <QChartView>
#include <QPixmap>
#include <QPointF>
#include <QVector>

#include "CaseMixRegions.h"

class QAreaSeries;
class QGraphicsEllipseItem;
class QLineSeries;
class QScatterSeries;
class QPushButton;
class QLabel;
class QValueAxis;

namespace orbench {
class TInstance;
}

namespace orbench::ui {

// The plane of mean duration over OR-day capacity (X) against coefficient of variation (Y): the
// region of a case-mix type in white on gray, the surgeries of an instance as small squares and
// their centre of mass as a circle. Zoom by dragging a rectangle or with the wheel; "Undo zoom"
// and a right-click show the unit square again, and no zoom ever shows more than it. The tick
// labels keep as many decimals as the zoomed range needs. A click on a point reports it instead
// of starting a zoom.
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

    // What the layers hold: the region shape of layer 0..3 (as drawn), the surgery points and
    // the centre of mass (empty when not shown).
    const TRegionShape& LayerShape(int Layer) const { return FShapes[static_cast<std::size_t>(Layer)]; }
    QVector<QPointF> SurgeryPoints() const;
    QVector<QPointF> CenterOfMassPoints() const;
    // Where point k / the centre of mass is drawn, in the view's coordinates.
    QPoint SurgeryPosition(int Index) const;
    QPoint CenterOfMassPosition() const;
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
    QPoint ViewPosition(const QPointF& Value) const;
    // Moves a zoomed-out range back inside 0..1 (keeping its width where it fits).
    void KeepInUnitSquare();
    // The centre of mass is drawn above the plot area's clipping, so that it shows whole on the
    // axes too; it follows the point, the zoom and the plot area.
    void PlaceCenterOfMassMarker();
    void PlaceKey();

    QAreaSeries* FLayers[4];
    QLineSeries* FUpper[4];
    QLineSeries* FLower[4];
    TRegionShape FShapes[4];
    QScatterSeries* FSurgeries;     // Series1
    QScatterSeries* FCenterOfMass;  // Series6: holds the point; drawn by FCenterOfMassMarker
    QGraphicsEllipseItem* FCenterOfMassMarker;
    QValueAxis* FAxisX;
    QValueAxis* FAxisY;
    QPushButton* FUndoZoomB;
    QLabel* FKey;
    QLabel* FKeyDot;
    bool FPressOnPoint = false;
};

// The 36 x 36 picture of a case-mix type's region (white inside, gray outside) for the type
// selector.
QPixmap CaseMixTypePicture(int CaseMixType, int Size = 36);

}  // namespace orbench::ui
