#pragma once

#include <QChartView>
#include <QPixmap>
#include <QPointF>
#include <QVector>

#include "CaseMixRegions.h"

class QAreaSeries;
class QLineSeries;
class QScatterSeries;
class QPushButton;
class QLabel;

namespace orbench {
class TInstance;
}

namespace orbench::ui {

// The plane of mean duration over OR-day capacity (X) against coefficient of variation (Y): the
// region of a case-mix type in white on gray, the surgeries of an instance as small squares and
// their centre of mass as a circle. Zoom by dragging a rectangle or with the wheel; "Undo zoom"
// shows the unit square again. A click on a point reports it instead of starting a zoom.
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

signals:
    void SurgeryClicked(int Index);
    void CenterOfMassClicked(QPointF Point);

protected:
    void mousePressEvent(QMouseEvent* Event) override;
    void wheelEvent(QWheelEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;

private:
    void SetShape(int Layer, const TRegionShape& Shape);
    QPoint ViewPosition(const QPointF& Value) const;

    QAreaSeries* FLayers[4];
    QLineSeries* FUpper[4];
    QLineSeries* FLower[4];
    TRegionShape FShapes[4];
    QScatterSeries* FSurgeries;     // Series1
    QScatterSeries* FCenterOfMass;  // Series6
    QPushButton* FUndoZoomB;
    QLabel* FKey;
};

// The 36 x 36 picture of a case-mix type's region (white inside, gray outside) for the type
// selector.
QPixmap CaseMixTypePicture(int CaseMixType, int Size = 36);

}  // namespace orbench::ui
