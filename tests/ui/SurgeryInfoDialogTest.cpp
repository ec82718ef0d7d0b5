// The surgery info dialog: mean and standard deviation of the shifted lognormal, the density and
// cumulative curves, locale-independent parsing with fallback to the initial values, the buttons
// and the context menu. Expected values come from the closed lognormal formulas.
#include <QAction>
#include <QApplication>
#include <QChartView>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QPushButton>
#include <QScatterSeries>
#include <QValueAxis>
#include <QSet>
#include <QtTest>
#include <cmath>
#include <functional>
#include <numbers>

#include "NumberFormat.h"
#include "SurgeryInfoDialog.h"
#include "UiTestHelpers.h"

using orbench::ui::TSurgeryInfoDialog;

namespace {

double Mean(double M, double S, double Shift) { return std::exp(M + S * S / 2) + Shift; }
double Density(double X, double M, double S, double Shift)
{
    const double Z = (std::log(X - Shift) - M) / S;
    return std::exp(-Z * Z / 2) / ((X - Shift) * S * std::sqrt(2 * std::numbers::pi));
}
double Cumulative(double X, double M, double S, double Shift)
{
    return 0.5 * std::erfc(-(std::log(X - Shift) - M) / (S * std::sqrt(2.0)));
}

QLineEdit* Field(TSurgeryInfoDialog& Dialog, const char* Name) { return Dialog.findChild<QLineEdit*>(Name); }
QString Label(TSurgeryInfoDialog& Dialog, const char* Name) { return Dialog.findChild<QLabel*>(Name)->text(); }
QString Tip(TSurgeryInfoDialog& Dialog, const char* Name) { return Dialog.findChild<QLabel*>(Name)->toolTip(); }
void Enter(TSurgeryInfoDialog& Dialog, const QString& P1, const QString& P2, const QString& P3)
{
    Field(Dialog, "P1LE")->setText(P1);
    Field(Dialog, "P2LE")->setText(P2);
    Field(Dialog, "P3LE")->setText(P3);
}

}  // namespace

class SurgeryInfoDialogTest : public QObject {
    Q_OBJECT

private slots:
    void init() { orbench::SetDecimalSeparator('.'); }

    void startsEmptyWithItsCaptionAndDensityMode()
    {
        TSurgeryInfoDialog Dialog;
        QCOMPARE(Dialog.windowTitle(), QString("Info about surgery"));
        QVERIFY(Label(Dialog, "MuL") == "0" && Label(Dialog, "SigmaL") == "0");
        QVERIFY(Dialog.findChild<QAction*>("DensityGraphMI")->isChecked() && !Dialog.IsCumulative());
        QVERIFY(Dialog.findChild<QPushButton*>("Button1")->isDefault());
        QCOMPARE(Dialog.Curve()->count(), 0);
    }

    void meanSigmaAndRangeFollowTheParameters()
    {
        TSurgeryInfoDialog Dialog;
        Enter(Dialog, "0", "0.5", "0");
        QCOMPARE(Tip(Dialog, "MuL"), QString("1.13314845"));
        QCOMPARE(Tip(Dialog, "SigmaL"), QString("0.60390053"));
        QCOMPARE(Dialog.AxisMinimum(), 0.0);
        QVERIFY(std::abs(Dialog.AxisMaximum() - 3.39944536) < 1e-8);

        orbench::SetDecimalSeparator(',');
        Enter(Dialog, "-2.5", "0.4", "0.02");
        QCOMPARE(Tip(Dialog, "MuL"), QString("0,10892162"));
        QCOMPARE(Tip(Dialog, "SigmaL"), QString("0,03703998"));
        QVERIFY(std::abs(Dialog.Mu() - Mean(-2.5, 0.4, 0.02)) < 1e-12);
        QCOMPARE(Dialog.AxisMinimum(), 0.02);
        QVERIFY(std::abs(Dialog.AxisMaximum() - 0.28676485) < 1e-8);
        Enter(Dialog, "0", "0,5", "0");
        QCOMPARE(Tip(Dialog, "MuL"), QString("1,13314845"));
    }

    void densityIsTheShiftedLognormalAndZeroWhereUndefined()
    {
        QVERIFY(std::abs(TSurgeryInfoDialog::LognormalDensity3(1, 0, 0.5, 0) - 0.79788456) < 1e-8);
        QVERIFY(std::abs(TSurgeryInfoDialog::LognormalDensity3(0.13, -2.5, 0.4, 0.02) -
                         Density(0.13, -2.5, 0.4, 0.02)) < 1e-12);
        QCOMPARE(TSurgeryInfoDialog::LognormalDensity3(0.02, -2.5, 0.4, 0.02), 0.0);
        QCOMPARE(TSurgeryInfoDialog::LognormalDensity3(-1, 0, 0.5, 0), 0.0);
        QCOMPARE(TSurgeryInfoDialog::LognormalDensity3(1, 0, 0, 0), 0.0);
        QCOMPARE(TSurgeryInfoDialog::LognormalCumulative3(0, 0, 0.5, 0), 0.0);
        QVERIFY(std::abs(TSurgeryInfoDialog::LognormalCumulative3(1, 0, 0.5, 0) - 0.5) < 1e-3);
    }

    void curveHasAThousandPointsStoppingOneStepBeforeTheEndOrNoneWithoutRange()
    {
        TSurgeryInfoDialog Dialog;
        Enter(Dialog, "-2.5", "0.4", "0.02");
        const double Lo = 0.02, Hi = 0.02 + 3 * (Mean(-2.5, 0.4, 0.02) - 0.02), Step = (Hi - Lo) / 1000;
        const QList<QPointF> Points = Dialog.Curve()->points();
        QCOMPARE(Points.size(), 1000);
        QCOMPARE(Points.first(), QPointF(Lo, 0));
        QVERIFY(std::abs(Points.last().x() - (Hi - Step)) < 1e-12);
        for (int I : {1, 250, 999}) QVERIFY(std::abs(Points[I].y() - Density(Points[I].x(), -2.5, 0.4, 0.02)) < 1e-9);
        QCOMPARE(Dialog.Points()->count(), 0);

        Field(Dialog, "P3LE")->setText("-1");  // hi = -1 + 3 * 0.0889 < 0 = lo: no range, no curve
        QVERIFY(!Label(Dialog, "MuL").isEmpty());
        QCOMPARE(Dialog.Curve()->count(), 0);
    }

    void cumulativeCurveRisesToOneAndTheModeCanBeSwitchedBack()
    {
        TSurgeryInfoDialog Dialog;
        Enter(Dialog, "0", "0.5", "0");
        Dialog.findChild<QAction*>("CumulativeGraphMI")->trigger();
        QVERIFY(Dialog.IsCumulative());
        QVERIFY(!Dialog.findChild<QAction*>("DensityGraphMI")->isChecked());
        const QList<QPointF> Points = Dialog.Curve()->points();
        QCOMPARE(Points.size(), 1000);
        QCOMPARE(Points.first().y(), 0.0);
        for (int I = 1; I < Points.size(); ++I) QVERIFY(Points[I].y() >= Points[I - 1].y());
        QVERIFY(Points.last().y() > 0.99);
        QVERIFY(std::abs(Points.last().y() - Cumulative(Points.last().x(), 0, 0.5, 0)) < 5e-3);
        QVERIFY(std::abs(Points[300].y() - Cumulative(Points[300].x(), 0, 0.5, 0)) < 5e-3);

        Dialog.findChild<QAction*>("DensityGraphMI")->trigger();
        QVERIFY(!Dialog.IsCumulative());
        QVERIFY(std::abs(Dialog.Curve()->at(294).y() - Density(Dialog.Curve()->at(294).x(), 0, 0.5, 0)) < 1e-9);
    }

    void parsingIsStrictAndLocaleIndependent()
    {
        TSurgeryInfoDialog Dialog;
        for (const char* Text : {"0,5", "0.5", "  0.5", "5e-1", "5E-1", "+0.5", ".5"}) {
            Enter(Dialog, "0", Text, "0");
            QVERIFY2(Dialog.ReadParameters() && Dialog.P2() == 0.5, Text);
            QCOMPARE(Tip(Dialog, "MuL"), QString("1.13314845"));
        }
        Enter(Dialog, "-1e0", "0.25", "1,5");
        QVERIFY(Dialog.P1() == -1 && Dialog.P3() == 1.5);
        for (const char* Text : {"", "0.5x", "0.5 ", "1,000.5", "1.000,5", "1e", "e5", "-", ".", "abc", "0x1"}) {
            Enter(Dialog, "0", Text, "0");
            QVERIFY2(!Dialog.ReadParameters(), Text);
            QVERIFY2(Label(Dialog, "MuL").isEmpty() && Label(Dialog, "SigmaL").isEmpty(), Text);
        }
    }

    void unreadableFieldFallsBackToTheInitialValuesUntilRetyped()
    {
        TSurgeryInfoDialog Dialog;
        Dialog.SetInitialValues(1, 2, 3, 4, 5);
        Enter(Dialog, "-2.5", "0.4", "0.02");
        const QList<QPointF> Before = Dialog.Curve()->points();
        Field(Dialog, "P1LE")->selectAll();
        QTest::keyClick(Field(Dialog, "P1LE"), Qt::Key_Backspace);
        QVERIFY(Label(Dialog, "MuL").isEmpty() && Label(Dialog, "SigmaL").isEmpty());
        QVERIFY(Dialog.P1() == 1 && Dialog.P2() == 2 && Dialog.P3() == 3 && Dialog.Mu() == 4 && Dialog.Sigma() == 5);
        QCOMPARE(Dialog.Curve()->count(), 0);               // no curve of numbers that are not there
        Dialog.findChild<QAction*>("RedrawMI")->trigger();  // now over the initial 3 .. 3 + 3 * (4 - 3)
        QVERIFY(Dialog.AxisMinimum() == 3 && Dialog.AxisMaximum() == 6);

        QTest::keyClicks(Field(Dialog, "P1LE"), "-2.5");
        QVERIFY(Tip(Dialog, "MuL") == "0.10892162" && Tip(Dialog, "SigmaL") == "0.03703998");
        QVERIFY(Label(Dialog, "MuL") == "0.1" && Label(Dialog, "SigmaL") == "0.0");  // minutes, one decimal
        QCOMPARE(Dialog.Curve()->points(), Before);
        QCOMPARE(Dialog.AxisMinimum(), 0.02);
    }

    // Fields that cannot be used are refused where they are typed: the line under them names the
    // field and what it needs, Mu, Sigma and the curve stay empty, and "Save changes" is disabled,
    // so that nothing of them is saved.
    void parametersThatCannotBeUsedAreRefusedAndCannotBeSaved()
    {
        TSurgeryInfoDialog Dialog;
        Dialog.FillFromCaller(4, 0.5, 60, 0.1, 0.05, 144, 72);
        auto* Save = Dialog.findChild<QPushButton*>("Button1");
        QVERIFY(Save->isEnabled());
        const struct {
            const char *P1, *P2;
            const char* Problem;
        } Cases[] = {
            {"4", "-1", "P2, the standard deviation of ln(duration), must be greater than 0."},
            {"4", "0", "P2, the standard deviation of ln(duration), must be greater than 0."},
            {"4", "abc", "P2: \"abc\" is not a number."},
            {"1e999", "0.5", "P1: \"1e999\" is not a number."},
            {"800", "1", "The mean or the standard deviation overflows."},
        };
        for (const auto& Case : Cases) {
            Enter(Dialog, Case.P1, Case.P2, "60");
            QCOMPARE(Dialog.findChild<QLabel*>("ProblemL")->text(), QString(Case.Problem));
            QVERIFY(!Save->isEnabled() && Label(Dialog, "MuL").isEmpty() && Dialog.Curve()->count() == 0);
            QVERIFY(Dialog.P1() == 4 && Dialog.P2() == 0.5 && Dialog.P3() == 60);  // what it was opened with
        }
        Enter(Dialog, "4", "0.5", "60");
        QVERIFY(Save->isEnabled() && Dialog.findChild<QLabel*>("ProblemL")->text().isEmpty());
        QCOMPARE(Label(Dialog, "MuL"), QString("121.9"));  // exp(4 + 0.5^2 / 2) + 60
    }

    void callerFillingShowsItsOwnLabelsAndKeepsTheInitialValues()
    {
        TSurgeryInfoDialog Dialog;
        Dialog.FillFromCaller(-2.5, 0.4, 0.02, 0.1, 0.05, 144, 72);
        QCOMPARE(Dialog.P1Text(), QString("-2.5"));
        QVERIFY(Label(Dialog, "MuL") == "144.0" && Label(Dialog, "SigmaL") == "72.0");
        QVERIFY(Tip(Dialog, "MuL") == "144.00000000" && Tip(Dialog, "SigmaL") == "72.00000000");
        QCOMPARE(Dialog.Curve()->count(), 1000);
        QCOMPARE(Dialog.InitialMu(), 0.1);
        Dialog.SetP3Text("x");
        QVERIFY(Dialog.P3() == 0.02 && Dialog.Sigma() == 0.05);
    }

    void buttonsAndKeysCloseWithTheirResult()
    {
        const auto Run = [](const std::function<void(TSurgeryInfoDialog&)>& Act) {
            TSurgeryInfoDialog Dialog;
            Dialog.show();
            Act(Dialog);
            return Dialog.isVisible() ? -1 : Dialog.result();
        };
        using D = TSurgeryInfoDialog;
        QCOMPARE(Run([](D& Dialog) { Dialog.findChild<QPushButton*>("Button1")->click(); }), int(QDialog::Accepted));
        QCOMPARE(Run([](D& Dialog) { Dialog.findChild<QPushButton*>("Button2")->click(); }), int(QDialog::Rejected));
        QCOMPARE(Run([](D& Dialog) { QTest::keyClick(&Dialog, Qt::Key_Escape); }), int(QDialog::Rejected));
        QCOMPARE(Run([](D& Dialog) { QTest::keyClick(Field(Dialog, "P2LE"), Qt::Key_Return); }),
                 int(QDialog::Accepted));
    }

    void rightClickOnTheChartOpensTheGraphMenu()
    {
        TSurgeryInfoDialog Dialog;
        Dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&Dialog));
        auto* Menu = Dialog.findChild<QMenu*>("PopupMenu1");
        QVERIFY(Menu->actions().size() == 4 && Menu->actions()[2]->isSeparator());
        QVERIFY(!Menu->isVisible());
        QWidget* Viewport = Dialog.findChild<QChartView*>("Chart")->viewport();
        const QPoint Position = Viewport->rect().center();
        QContextMenuEvent RightClick(QContextMenuEvent::Mouse, Position, Viewport->mapToGlobal(Position));
        QApplication::sendEvent(Viewport, &RightClick);
        QTRY_VERIFY(Menu->isVisible());
        Menu->close();
    }

    void keepsItsSizeWithLongNumbersAndLabelsItsAxesAtRoundValues()
    {
        TSurgeryInfoDialog Dialog;
        Dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&Dialog));
        const QSize Size = Dialog.size();
        auto* Chart = Dialog.findChild<QChartView*>("Chart");
        const auto Axes = Chart->chart()->axes();
        const auto* X = qobject_cast<QValueAxis*>(Axes[0]->orientation() == Qt::Horizontal ? Axes[0] : Axes[1]);
        const auto* Y = qobject_cast<QValueAxis*>(Axes[0]->orientation() == Qt::Horizontal ? Axes[1] : Axes[0]);
        // Labels of round values, none twice; and the numbers of each state fit their labels.
        const auto Check = [&](const char* State, double Interval = 0) {
            for (const QValueAxis* Axis : {X, Y}) {
                const QStringList Labels = orbench::testing::TickLabels(Axis);
                QVERIFY2(Labels.size() >= 2 && QSet<QString>(Labels.begin(), Labels.end()).size() == Labels.size(),
                         State);
                for (const QString& Label : Labels) {
                    const double Steps = Label.toDouble() / Axis->tickInterval();
                    QVERIFY2(std::abs(Steps - std::round(Steps)) < 1e-6, qPrintable(State + (" " + Label)));
                }
            }
            if (Interval > 0) QCOMPARE(Y->tickInterval(), Interval);
            QCOMPARE(Dialog.size(), Size);
            const QStringList Cramped = orbench::testing::RoomProblems(&Dialog);
            QVERIFY2(Cramped.isEmpty(), qPrintable(State + (": " + Cramped.join("; "))));
        };
        Check("before any edit");
        QVERIFY(X->labelsVisible() && Y->labelsVisible() && X->isVisible() && Y->isVisible());
        // A normal type of 65 minutes read as a shifted lognormal: mean and deviation near 1e65.
        Dialog.FillFromCaller(65, 13, 0, 65.0 / 1440, 13.0 / 1440, 65, 13);
        Check("opened on Normal(65, 13)");
        Enter(Dialog, "65", "1", "0");
        Enter(Dialog, "65", "13", "0");
        Check("P2 retyped as 13");
        Enter(Dialog, "0", "0.5", "0");
        Dialog.SetCumulative(true);
        Check("cumulative", 0.2);  // 0, 0.2, ..., 1
    }
};

QTEST_MAIN(SurgeryInfoDialogTest)
#include "SurgeryInfoDialogTest.moc"
