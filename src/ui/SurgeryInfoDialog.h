#pragma once

#include <QDialog>
#include <QString>

class QAction;
class QChartView;
class QLabel;
class QLineEdit;
class QLineSeries;
class QMenu;
class QPushButton;
class QScatterSeries;
class QValueAxis;

namespace orbench::ui {

// Shows and edits the three parameters of a surgery type's duration distribution, read as a
// shifted (three-parameter) lognormal: P1 = mean of the logarithm, P2 = its standard deviation,
// P3 = the shift. Every change of a field recomputes mean and standard deviation and redraws the
// density (or cumulative) curve. "&Save changes" accepts, "&Cancel" and Esc reject; on accept the
// caller reads P1(), P2() and P3().
class TSurgeryInfoDialog : public QDialog {
    Q_OBJECT

public:
    explicit TSurgeryInfoDialog(QWidget* Parent = nullptr);

    // Parameters last parsed successfully (or the initial ones after a failed parse), and the mean
    // and standard deviation computed from them.
    double P1() const { return FP1; }
    double P2() const { return FP2; }
    double P3() const { return FP3; }
    double Mu() const { return FMu; }
    double Sigma() const { return FSigma; }

    // What the dialog was opened with; the fallback when a field does not parse.
    double InitialP1() const { return FInitialP1; }
    double InitialP2() const { return FInitialP2; }
    double InitialP3() const { return FInitialP3; }
    double InitialMu() const { return FInitialMu; }
    double InitialSigma() const { return FInitialSigma; }
    void SetInitialValues(double P1, double P2, double P3, double Mu, double Sigma);

    // The whole filling by the surgery chart: the three fields in general format (each runs
    // Recalculate), Recalculate once more, the initial values, and the labels showing
    // ShownMu / ShownSigma (mean and standard deviation in minutes) in general format.
    void FillFromCaller(double P1, double P2, double P3, double Mu, double Sigma, double ShownMu, double ShownSigma);

    // The field texts; setting one runs Recalculate as typing does.
    QString P1Text() const;
    QString P2Text() const;
    QString P3Text() const;
    void SetP1Text(const QString& Text);
    void SetP2Text(const QString& Text);
    void SetP3Text(const QString& Text);
    void SetParameterTexts(const QString& Text1, const QString& Text2, const QString& Text3);

    // The texts of the Mu and Sigma labels.
    QString MuText() const;
    QString SigmaText() const;
    void SetMuText(const QString& Text);
    void SetSigmaText(const QString& Text);

    // Parses the three fields (',' and '.' both as decimal separator). True: P1..P3 take the
    // numbers. False: P1..P3, Mu and Sigma fall back to the initial values.
    bool ReadParameters();
    // The change handler of the fields: parse, compute Mu and Sigma, show them (minutes with one
    // decimal, in full in their tool tips), redraw. Fields that cannot be used (a text that is no
    // finite number, P2 of 0 or less) leave Mu, Sigma and the curve empty, say why under the
    // fields and disable "&Save changes".
    void Recalculate();
    // Why the fields cannot be used, or "".
    QString Problem() const;
    // Redraws the density or cumulative curve over P3 (or 0)..P3 + 3 (Mu - P3) with 1000 points.
    // Without a valid range (upper end at or below the lower) the curve stays empty.
    void DrawDensity();

    // Density of the shifted lognormal (0 where it is undefined: x at or below the shift,
    // vanishing P2), and its cumulative as a left Riemann sum of 1000 steps from the shift to X.
    static double LognormalDensity3(double X, double P1, double P2, double P3);
    static double LognormalCumulative3(double X, double P1, double P2, double P3);

    // The curve mode of the context menu; SetCumulative picks the item as the menu does (redraws).
    bool IsCumulative() const;
    void SetCumulative(bool Cumulative);

    // The drawn curve and the horizontal range it spans.
    const QLineSeries* Curve() const { return FSeries1; }
    const QScatterSeries* Points() const { return FSeries2; }
    double AxisMinimum() const;
    double AxisMaximum() const;

    QPushButton* SaveButton() const { return FButton1; }
    QPushButton* CancelButton() const { return FButton2; }
    QMenu* ContextMenu() const { return FPopupMenu1; }

protected:
    void showEvent(QShowEvent* Event) override;

private:
    void ShowContextMenu(const QPoint& Position);

    double FP1 = 0, FP2 = 0, FP3 = 0;
    double FMu = 0, FSigma = 0;
    double FInitialP1 = 0, FInitialP2 = 0, FInitialP3 = 0;
    double FInitialMu = 0, FInitialSigma = 0;
    bool FCentred = false;

    QLineEdit* FP1LE;
    QLineEdit* FP2LE;
    QLineEdit* FP3LE;
    QLabel* FMuL;
    QLabel* FSigmaL;
    QLabel* FProblemL;
    QPushButton* FButton1;
    QPushButton* FButton2;
    QChartView* FChart;
    QLineSeries* FSeries1;
    QScatterSeries* FSeries2;
    QValueAxis* FAxisX;
    QValueAxis* FAxisY;
    QMenu* FPopupMenu1;
    QAction* FDensityGraphMI;
    QAction* FCumulativeGraphMI;
    QAction* FRedrawMI;
};

}  // namespace orbench::ui
