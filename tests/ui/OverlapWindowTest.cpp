// The overlap window on the instances of the main window's case mix: its refusals, the matrix in
// the grid and its shading, the selection with removal, and reading epsilon under either separator.
#include <QCheckBox>
#include <QClipboard>
#include <QProgressBar>
#include <QStyleOptionButton>
#include <QTimer>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QtTest>
#include <array>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <memory>

#include "MainWindow.h"
#include "Overlap.h"
#include "OverlapShading.h"
#include "OverlapWindow.h"
#include "SurgeryChart.h"
#include "TestHelpers.h"
#include "TextUtils.h"

using namespace orbench::ui;
using orbench::DoubDoubArray;

namespace {

bool SameMatrix(const DoubDoubArray& A, const DoubDoubArray& B)
{
    if (A.size() != B.size()) return false;
    for (std::size_t i = 0; i < A.size(); ++i)
        for (std::size_t j = 0; j < A.size(); ++j)
            if (A[i].size() != A.size() || B[i].size() != A.size() || std::fabs(A[i][j] - B[i][j]) > 1e-12)
                return false;
    return true;
}

// A value as the window writes it in full, read back exactly ('.' as separator); -1 when it is not one.
double Number(const QString& Text)
{
    const std::string Digits = Text.toStdString();
    double Value = -1;
    const auto Result = std::from_chars(Digits.data(), Digits.data() + Digits.size(), Value);
    return Result.ec == std::errc() && Result.ptr == Digits.data() + Digits.size() ? Value : -1;
}

}  // namespace

class OverlapWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<orbench::testing::TTempDir> Dir;
    std::unique_ptr<orbench::TData> Data;
    std::unique_ptr<TMainWindow> Main;
    std::unique_ptr<TOverlapWindow> Window;
    QStringList Boxes;

    template <class T>
    T* Get(QWidget* Parent, const char* Name)
    {
        T* Control = Parent->findChild<T*>(Name);
        if (Control == nullptr) qFatal("No control %s", Name);
        return Control;
    }
    void Analyze() { Get<QPushButton>(Window.get(), "AnalyzeOverlapB")->click(); }
    QStringList Messages()
    {
        return Get<QPlainTextEdit>(Window.get(), "MessagesM")->toPlainText().split('\n', Qt::SkipEmptyParts);
    }
    QString MaxOverlap() { return Get<QLabel>(Window.get(), "MaxOverlapL")->text(); }
    // The largest overlap in full, from the label's tool tip.
    double MaxOverlapValue() { return Number(Get<QLabel>(Window.get(), "MaxOverlapL")->toolTip()); }
    orbench::TCaseMix& CaseMix() { return *Data->CaseMixes.at(0); }
    // k instances of 4 OR-days, made by the main window's "Generate instance(s)".
    void Generate(int k)
    {
        Get<QLineEdit>(Main.get(), "NumORDaysLE")->setText("4");
        Get<QSpinBox>(Main.get(), "NumInstancesSE")->setValue(k);
        Main->GenerateInstanceBClick();
    }
    DoubDoubArray Expected(double Epsilon)
    {
        DoubDoubArray Overlap;
        orbench::AnalyzeOverlap(CaseMix().Instances, Epsilon, Overlap, false);
        return Overlap;
    }
    void Select(const QString& Count, bool Remove)
    {
        Get<QCheckBox>(Window.get(), "SelectCasesCB")->setChecked(true);
        Get<QLineEdit>(Window.get(), "SelectNumCasesE")->setText(Count);
        Get<QCheckBox>(Window.get(), "RemoveInstancesCB")->setChecked(Remove);
    }

private slots:
    void init()
    {
        orbench::SetDecimalSeparator('.');
        Boxes.clear();
        SetMessageBoxHandler([this](TBoxKind, const QString& Text) { Boxes << Text; });
        SetFileDialogHandler([](const TFileDialogRequest&) { return QString(); });
        Dir = std::make_unique<orbench::testing::TTempDir>();
        std::filesystem::create_directories(Dir->File("casemixes"));
        // Six types half an hour and more apart, so that instances overlap in different degrees.
        orbench::testing::WriteLines(Dir->File("casemixes/alpha.txt"),
                                     {"ID\tDistributionType\tP1\tP2\tP3\tFrequency", "1\tNormal\t30\t3\t0\t3",
                                      "2\tNormal\t60\t6\t0\t2", "3\tNormal\t90\t9\t0\t2", "4\tNormal\t120\t12\t0\t1",
                                      "5\tNormal\t180\t18\t0\t1", "6\tNormal\t240\t24\t0\t1"});
        Data = std::make_unique<orbench::TData>();
        Main = std::make_unique<TMainWindow>(*Data, QString::fromStdString(Dir->Path()));
        Window = std::make_unique<TOverlapWindow>(*Main);
    }

    void cleanup()
    {
        Window.reset(), Main.reset(), Data.reset(), Dir.reset();
        SetMessageBoxHandler({});
        SetFileDialogHandler({});
        orbench::SetDecimalSeparator('.');
    }

    void refusesWithoutACaseMixOrWithFewerThanTwoInstances()
    {
        Get<QComboBox>(Main.get(), "CaseMixCB")->setCurrentIndex(-1);
        Analyze();
        Get<QComboBox>(Main.get(), "CaseMixCB")->setCurrentIndex(0);
        Analyze();
        Generate(1);
        QCOMPARE(CaseMix().Instances.Count(), 1);
        Analyze();
        QCOMPARE(Messages(), QStringList({"No case mix is selected. Exiting overlap analysis.",
                                          "There are insufficient instances to compare. Exiting overlap analysis.",
                                          "There are insufficient instances to compare. Exiting overlap analysis."}));
        QCOMPARE(Get<QTabWidget>(Window.get(), "PageControl1")->currentWidget()->objectName(), QString("MessagesM"));
        QVERIFY(Window->Overlap().empty() && Boxes.isEmpty());
        QCOMPARE(MaxOverlap(), QString("..."));
    }

    void gridShowsTheMatrixShadedFromWhite()
    {
        Generate(3);
        QCOMPARE(CaseMix().Instances.Count(), 3);
        const DoubDoubArray Want = Expected(0.01);
        Get<QTabWidget>(Window.get(), "PageControl1")->setCurrentIndex(0);
        Analyze();
        QVERIFY(SameMatrix(Window->Overlap(), Want));
        QTableWidget* Grid = Window->Grid();
        QVERIFY(Grid->rowCount() == 3 && Grid->columnCount() == 3);
        QCOMPARE(Get<QTabWidget>(Window.get(), "PageControl1")->currentWidget(), Grid->parentWidget());
        QVERIFY(Grid->parentWidget()->findChild<QWidget*>("OverlapKey") != nullptr);  // the key beside it
        QList<QPair<double, double>> Shades;                                          // (value, lightness)
        for (int r = 0; r < 3; ++r) {
            QCOMPARE(Grid->horizontalHeaderItem(r)->text(), QString::number(r));
            QCOMPARE(Grid->verticalHeaderItem(r)->text(), QString::number(r));
            for (int i = 0; i < 3; ++i) {  // three decimals shown, the full value in the tool tip
                const double Value = Number(Grid->item(r, i)->toolTip());
                QCOMPARE(Value, Want[i][r]);
                QCOMPARE(Grid->item(r, i)->text(), QString::asprintf("%.3f", Value));
                QVERIFY(Value >= 0 && Value <= 1 && Value == Number(Grid->item(i, r)->toolTip()));
                QCOMPARE(Grid->columnWidth(i), Grid->columnWidth(0));
                Shades.append({Value, Grid->item(r, i)->background().color().lightnessF()});
                QVERIFY(ContrastRatio(Grid->item(r, i)->background().color(), Grid->item(r, i)->foreground().color()) >=
                        4.5);
            }
            QCOMPARE(Grid->item(r, r)->text(), QString("0.000"));
            QCOMPARE(Grid->item(r, r)->background().color(), QColor(Qt::white));
        }
        QVERIFY(Want[0][1] > 0.05 && Want[0][2] > 0.05 && Want[1][2] > 0.05);
        for (const auto& [Smaller, Light] : Shades)
            for (const auto& [Larger, Dark] : Shades)
                if (Smaller + 0.01 < Larger) QVERIFY(Light > Dark);
        QVERIFY(Messages().isEmpty() && Boxes.isEmpty());
        // Every shade a cell can take keeps its text readable (4.5 to 1, as for weak sight).
        QCOMPARE(std::round(ContrastRatio(Qt::white, Qt::black) * 100) / 100, 21.0);
        QCOMPARE(std::round(ContrastRatio(QColor(0x77, 0x77, 0x77), Qt::white) * 100) / 100, 4.48);
        for (int k = 0; k <= 100; ++k)
            QVERIFY2(ContrastRatio(OverlapShade(k / 100.0), OverlapTextColour(k / 100.0)) >= 4.5,
                     qPrintable(QString::number(k)));
    }

    // A number of cases outside 1 .. N - 1 (none, all, a negative or no number) or an epsilon that is
    // no number is refused where it is typed: the line under the fields says what is allowed, the
    // button stays disabled, and nothing is analysed or removed.
    void numbersThatCannotBeUsedAreRefusedWhereTheyAreTyped()
    {
        Generate(3);
        auto* Button = Get<QPushButton>(Window.get(), "AnalyzeOverlapB");
        auto* Problem = Get<QLabel>(Window.get(), "ProblemL");
        for (const char* Count : {"0", "-1", "3", "abc", ""}) {
            Select(Count, true);
            QVERIFY2(!Button->isEnabled(), Count);
            QVERIFY2(Problem->text().startsWith("Select a number of cases from 1 to 2 (of the 3 instances)"),
                     qPrintable(Problem->text()));
            Window->AnalyzeOverlapBClick();  // a click that gets through anyway is refused with the message
        }
        QCOMPARE(Boxes.size(), 5);
        QVERIFY(Window->Overlap().empty() && Messages().isEmpty());
        QCOMPARE(CaseMix().Instances.Count(), 3);
        Select("2", true);
        QVERIFY(Button->isEnabled() && Problem->text().isEmpty());
        Get<QLineEdit>(Window.get(), "EpsilonLE")->setText("-0.1");
        QVERIFY(!Button->isEnabled() && Problem->text().startsWith("Epsilon must be a number of at least 0"));
        Get<QLineEdit>(Window.get(), "EpsilonLE")->setText("0.01");
        QVERIFY(Button->isEnabled());
    }

    void selectingAllOrNotRemovingLeavesTheInstances()
    {
        Generate(3);
        Get<QCheckBox>(Window.get(), "SelectCasesCB")->setChecked(false);
        Get<QLineEdit>(Window.get(), "SelectNumCasesE")->setText("2");
        Analyze();
        QCOMPARE(CaseMix().Instances.Count(), 3);
        QCOMPARE(Get<QComboBox>(Main.get(), "ShowInstanceNrCB")->count(), 3);
        for (int i = 0; i < 3; ++i) QCOMPARE(Window->Grid()->horizontalHeaderItem(i)->text(), QString::number(i));
    }

    void selectionKeepsThePairWithTheLeastOverlap()
    {
        Generate(5);
        const DoubDoubArray Want = Expected(0.01);
        const std::vector<orbench::TInstance*> Before(CaseMix().Instances.begin(), CaseMix().Instances.end());
        double Least = 2;
        for (int i = 0; i < 5; ++i)
            for (int j = i + 1; j < 5; ++j) Least = std::min(Least, Want[i][j]);
        Select("2", true);
        Get<QComboBox>(Main.get(), "ShowInstanceNrCB")->setCurrentIndex(4);
        QVERIFY(!Main->Chart()->SurgeryPoints().isEmpty());
        Analyze();
        QVERIFY(Main->Chart()->SurgeryPoints().isEmpty() && Main->Chart()->CenterOfMassPoints().isEmpty());

        QList<int> Kept;
        for (int i = 0; i < 5; ++i) {
            const QString Label = Window->Grid()->horizontalHeaderItem(i)->text();
            QCOMPARE(Window->Grid()->verticalHeaderItem(i)->text(), Label);
            if (Label != "X") Kept << i;
            QVERIFY(Label == "X" || Label == QString::number(i));
            for (int r = 0; r < 5; ++r)  // the grid keeps the values of the removed instances
                QCOMPARE(Number(Window->Grid()->item(r, i)->toolTip()), Want[i][r]);
        }
        QCOMPARE(Kept.size(), 2);
        QVERIFY(std::fabs(Want[Kept[0]][Kept[1]] - Least) < 1e-9);
        QVERIFY(std::fabs(MaxOverlapValue() - Least) < 1e-9);
        QCOMPARE(MaxOverlap(), QString::asprintf("%.3f", Least));  // as the grid shows it
        QCOMPARE(CaseMix().Instances.Count(), 2);
        QVERIFY(CaseMix().Instances[0] == Before[Kept[0]] && CaseMix().Instances[1] == Before[Kept[1]]);
        auto* Selector = Get<QComboBox>(Main.get(), "ShowInstanceNrCB");
        QVERIFY(Selector->count() == 2 && Selector->itemText(0) == "0" && Selector->itemText(1) == "1");
    }

    void epsilonReadsTheSameUnderEitherSeparator()
    {
        Generate(3);
        const DoubDoubArray Hundredth = Expected(0.01), Fifth = Expected(0.2);
        QVERIFY(!SameMatrix(Hundredth, Fifth));
        for (const char Separator : {'.', ','}) {
            orbench::SetDecimalSeparator(Separator);
            for (const char* Text : {"0,01", "0.01", "0,2"}) {
                Get<QLineEdit>(Window.get(), "EpsilonLE")->setText(Text);
                Analyze();
                QVERIFY2(SameMatrix(Window->Overlap(), std::string(Text) == "0,2" ? Fifth : Hundredth), Text);
            }
        }
        Get<QLineEdit>(Window.get(), "EpsilonLE")->setText("abc");
        QVERIFY(!Get<QPushButton>(Window.get(), "AnalyzeOverlapB")->isEnabled());
        QVERIFY(SameMatrix(Window->Overlap(), Fifth));
    }

    void enterStartsTheAnalysisAndEscapeClosesTheWindow()
    {
        Generate(3);
        Window->show();
        QVERIFY(QTest::qWaitForWindowExposed(Window.get()));
        Get<QLineEdit>(Window.get(), "EpsilonLE")->setFocus();
        QTest::keyClick(Get<QLineEdit>(Window.get(), "EpsilonLE"), Qt::Key_Return);
        QCOMPARE(Window->Overlap().size(), std::size_t(3));
        QTest::keyClick(Window.get(), Qt::Key_Escape);
        QVERIFY(!Window->isVisible());
        QCOMPARE(Window->result(), int(QDialog::Accepted));
    }

    void ctrlCCopiesTheSelectionOrTheWholeMatrixAtFullPrecision()
    {
        Generate(4);
        const DoubDoubArray Want = Expected(0.01);
        Analyze();
        TOverlapGrid* Grid = Window->Grid();
        // (first row, first column, rows, columns) selected; none selects the whole matrix
        for (const auto& [Top, Left, Rows, Columns] : {std::array{1, 2, 2, 2}, std::array{0, 0, 4, 4}}) {
            Grid->clearSelection();
            if (Rows < 4)
                Grid->setRangeSelected(QTableWidgetSelectionRange(Top, Left, Top + Rows - 1, Left + Columns - 1), true);
            QApplication::clipboard()->clear();
            QTest::keyClick(Grid, Qt::Key_C, Qt::ControlModifier);
            const QStringList Lines = QApplication::clipboard()->text().split('\n');
            QCOMPARE(Lines.size(), Rows + 1);
            QVERIFY(Lines.last().isEmpty());
            for (int r = 0; r < Rows; ++r) {
                const QStringList Cells = Lines[r].split('\t');
                QCOMPARE(Cells.size(), Columns);
                for (int c = 0; c < Columns; ++c) QCOMPARE(Number(Cells[c]), Want[Left + c][Top + r]);
            }
        }
    }

    void saveMatrixWritesCsvAtFullPrecisionOrAPictureOnceThereIsAMatrix()
    {
        QPushButton* Save = Get<QPushButton>(Window.get(), "SaveMatrixB");
        int Dialogs = 0;
        QString Answer;
        SetFileDialogHandler([&](const TFileDialogRequest&) { return ++Dialogs, Answer; });
        Generate(3);
        QVERIFY(!Save->isEnabled());
        Window->SaveMatrixBClick();  // nothing to save yet: no dialog
        QCOMPARE(Dialogs, 0);
        orbench::SetDecimalSeparator(',');  // the file keeps '.' and ','
        Get<QLineEdit>(Window.get(), "EpsilonLE")->setText("0,03");
        Analyze();
        const DoubDoubArray Want = Expected(0.03);
        QVERIFY(Save->isEnabled());
        Answer = QString::fromStdString(Dir->File("m.csv"));
        Save->click();
        const QStringList Lines = QString::fromStdString(orbench::testing::ReadAll(Dir->File("m.csv"))).split("\r\n");
        QCOMPARE(Lines.size(), 5);
        QVERIFY(Lines.last().isEmpty());
        // A header of the instances' names; each row named, without a selection an empty "chosen".
        QCOMPARE(Lines[0], "instance,chosen,instance_0,instance_1,instance_2");
        for (int r = 0; r < 3; ++r) {
            const QStringList Cells = Lines[r + 1].split(',');
            QCOMPARE(Cells.size(), 5);
            QCOMPARE(Cells[0], QString("instance_%1").arg(r));
            QCOMPARE(Cells[1], QString());
            for (int c = 0; c < 3; ++c) QCOMPARE(Number(Cells[c + 2]), Want[c][r]);
        }
        Select("2", false);
        Analyze();
        Save->click();
        const QStringList Chosen = QString::fromStdString(orbench::testing::ReadAll(Dir->File("m.csv"))).split("\r\n");
        QCOMPARE(Chosen[1].section(',', 1, 1).toInt() + Chosen[2].section(',', 1, 1).toInt() +
                     Chosen[3].section(',', 1, 1).toInt(),
                 2);
        Answer = QString::fromStdString(Dir->File("m.png"));
        Save->click();
        QCOMPARE(QImage(Answer).size(), QSize(800, 800));
        QVERIFY(Boxes.isEmpty());
    }

    void analysisShowsItsProgressAndStopsOnStop()
    {
        Generate(5);
        Window->show();
        QVERIFY(QTest::qWaitForWindowExposed(Window.get()));
        auto* Button = Get<QPushButton>(Window.get(), "AnalyzeOverlapB");
        auto* Gauge = Get<QProgressBar>(Window.get(), "Gauge1");
        const QRect Box = Button->geometry();
        QVERIFY(!Gauge->isVisible());
        QString Caption;
        bool Same = false, Shown = false;
        int Done = 0, Rows = 0;
        QTimer::singleShot(0, Window.get(), [&] {  // fires after the first row
            Caption = Button->text(), Same = Button->geometry() == Box, Shown = Gauge->isVisible();
            Done = Gauge->value(), Rows = Gauge->maximum();
            Button->click();
        });
        Button->click();
        QVERIFY(Caption == "&STOP" && Same && Shown);
        QVERIFY(Done == 1 && Rows == 5);
        QCOMPARE(Messages(), QStringList({"Overlap analysis stopped after 1 of 5 rows."}));
        QVERIFY(Window->Overlap().empty() && !Window->Running() && !Gauge->isVisible());
        QVERIFY(Button->text() == "&Analyze overlap" && Button->geometry() == Box);
        Button->click();  // the next analysis runs to its end
        QCOMPARE(Window->Overlap().size(), std::size_t(5));
    }

    void selectionWithoutRemovalMarksTheChosenInstances()
    {
        Generate(5);
        Select("2", false);
        Analyze();
        QStringList Chosen;
        for (int i = 0; i < 5; ++i) {
            const QString Label = Window->Grid()->horizontalHeaderItem(i)->text();
            QCOMPARE(Window->Grid()->verticalHeaderItem(i)->text(), Label);
            QVERIFY2(Label == QString::number(i) || Label == QString::number(i) + " \u2713", qPrintable(Label));
            if (Label != QString::number(i)) Chosen << QString::number(i);
        }
        QCOMPARE(Chosen.size(), 2);
        QCOMPARE(Messages(), QStringList({"Selected instances: " + Chosen.join(", ") +
                                          " (largest overlap among them: " + MaxOverlap() + ")."}));
        QCOMPARE(Number(Window->Grid()->item(Chosen[0].toInt(), Chosen[1].toInt())->toolTip()), MaxOverlapValue());
        QCOMPARE(CaseMix().Instances.Count(), 5);
    }

    void selectCountFieldSitsOnTheBlanksOfItsCaption()
    {
        Window->show();
        QVERIFY(QTest::qWaitForWindowExposed(Window.get()));
        auto* Box = Get<QCheckBox>(Window.get(), "SelectCasesCB");
        QStyleOptionButton Option;
        Option.initFrom(Box);
        Option.text = Box->text();
        const int Text = Box->style()->subElementRect(QStyle::SE_CheckBoxContents, &Option, Box).left();
        const QFontMetrics Metrics(Box->font());
        const QRect Field = Get<QLineEdit>(Window.get(), "SelectNumCasesE")->geometry();
        QVERIFY(Field.left() >= Text + Metrics.horizontalAdvance("Select"));
        QVERIFY(Field.right() < Text + Metrics.horizontalAdvance(Box->text().left(Box->text().indexOf("cases"))));
        QVERIFY(Field.width() >= Metrics.horizontalAdvance("99") + 8);
    }
};

QTEST_MAIN(OverlapWindowTest)
#include "OverlapWindowTest.moc"
