#include "OverlapWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "MainWindow.h"
#include "NumberFormat.h"
#include "Overlap.h"
#include "Selection.h"
#include "TextUtils.h"
#include "UiServices.h"

namespace orbench::ui {

namespace {

constexpr double ChosenValue = 1e-8;


// White for 0 to a strong blue for 1.
QColor Shade(double Value)
{
    const double t = Value < 0 ? 0 : Value > 1 ? 1 : Value;
    const QColor Strong(31, 90, 200);
    return QColor(static_cast<int>(255 + (Strong.red() - 255) * t), static_cast<int>(255 + (Strong.green() - 255) * t),
                  static_cast<int>(255 + (Strong.blue() - 255) * t));
}

}  // namespace

TOverlapWindow::TOverlapWindow(TMainWindow& Main) : QDialog(&Main), FMain(Main)
{
    setObjectName("Form3");
    setWindowTitle("Analyze overlap of instances");
    auto* Layout = new QHBoxLayout(this);
    auto* Left = new QVBoxLayout();

    FAnalyzeOverlapB = new QPushButton("Analyze overlap", this);
    FAnalyzeOverlapB->setObjectName("AnalyzeOverlapB");
    FAnalyzeOverlapB->setAutoDefault(false);
    connect(FAnalyzeOverlapB, &QPushButton::clicked, this, [this] { AnalyzeOverlapBClick(); });
    Left->addWidget(FAnalyzeOverlapB);

    // The number field sits on the blanks of the check box's caption.
    FSelectCasesCB = new QCheckBox("Select            cases with minimal overlap", this);
    FSelectCasesCB->setObjectName("SelectCasesCB");
    FSelectNumCasesE = new QLineEdit("3", FSelectCasesCB);
    FSelectNumCasesE->setObjectName("SelectNumCasesE");
    FSelectNumCasesE->setAlignment(Qt::AlignRight);
    const QFontMetrics Metrics(FSelectCasesCB->font());
    const int Indicator = FSelectCasesCB->sizeHint().width() - Metrics.horizontalAdvance(FSelectCasesCB->text());
    FSelectNumCasesE->setGeometry(Indicator + Metrics.horizontalAdvance("Select "), 0,
                                  Metrics.horizontalAdvance("            ") - Metrics.horizontalAdvance("  "),
                                  FSelectCasesCB->sizeHint().height());
    Left->addWidget(FSelectCasesCB);
    FRemoveInstancesCB = new QCheckBox("Remove other instances", this);
    FRemoveInstancesCB->setObjectName("RemoveInstancesCB");
    Left->addWidget(FRemoveInstancesCB);

    const QString EpsilonHint = "Surgeries are considered proximal iff their expected duration differs no more than "
                                "epsilon (from [0,1], where 1 is the total OR opening time)";
    auto* EpsilonLabel = new QLabel("Epsilon (from [0,1])", this);
    FEpsilonLE = new QLineEdit("0,01", this);
    FEpsilonLE->setObjectName("EpsilonLE");
    EpsilonLabel->setBuddy(FEpsilonLE);
    EpsilonLabel->setToolTip(EpsilonHint);
    FEpsilonLE->setToolTip(EpsilonHint);
    Left->addWidget(EpsilonLabel);
    Left->addWidget(FEpsilonLE);
    FDeterministicDistanceCB = new QCheckBox("Deterministic distance", this);
    FDeterministicDistanceCB->setObjectName("DeterministicDistanceCB");
    FDeterministicDistanceCB->setToolTip("deterministic: distance based on expected value. Stochastic: based on "
                                         "euclidean distance in case mix classification");
    Left->addWidget(FDeterministicDistanceCB);
    auto* EngineLabel = new QLabel("Engine:", this);
    FEngineCB = new QComboBox(this);
    FEngineCB->setObjectName("EngineCB");
    FEngineCB->addItems({"exact", "solver"});
    FEngineCB->setToolTip("exact: combinatorial algorithms (fast); solver: the LP/MIP models solved with CLP and CBC");
    Left->addWidget(EngineLabel);
    Left->addWidget(FEngineCB);
    auto* MaxRow = new QHBoxLayout();
    auto* Lbl1 = new QLabel("Max overlap:", this);
    Lbl1->setObjectName("lbl1");
    FMaxOverlapL = new QLabel("...", this);
    FMaxOverlapL->setObjectName("MaxOverlapL");
    MaxRow->addWidget(Lbl1);
    MaxRow->addWidget(FMaxOverlapL, 1);
    Left->addLayout(MaxRow);
    Left->addStretch(1);
    Layout->addLayout(Left);

    FPageControl1 = new QTabWidget(this);
    FPageControl1->setObjectName("PageControl1");
    FMessagesM = new QPlainTextEdit();
    FMessagesM->setObjectName("MessagesM");
    FMessagesM->setReadOnly(true);
    FMessagesM->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    FMessagesM->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    FGrid = new QTableWidget(10, 10);
    FGrid->setObjectName("Grid");
    FGrid->horizontalHeader()->setDefaultSectionSize(40);
    QStringList Blank;
    for (int i = 0; i < 10; ++i) Blank << "";
    FGrid->setHorizontalHeaderLabels(Blank);
    FGrid->setVerticalHeaderLabels(Blank);
    FGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FGrid->setWordWrap(false);
    FPageControl1->addTab(FMessagesM, "Messages");
    FPageControl1->addTab(FGrid, "Matching");
    FPageControl1->setCurrentIndex(1);
    Layout->addWidget(FPageControl1, 1);

    resize(715, 428);
    setMinimumSize(700, 465);
}

void TOverlapWindow::AddMessage(const QString& Message)
{
    FMessagesM->appendPlainText(Message);
    FPageControl1->setCurrentWidget(FMessagesM);
}

void TOverlapWindow::ShowMatrix(int N)
{
    FGrid->clear();
    FGrid->setColumnCount(N);
    FGrid->setRowCount(N);
    QStringList Numbers;
    for (int i = 0; i < N; ++i) Numbers << QString::number(i);
    FGrid->setHorizontalHeaderLabels(Numbers);
    FGrid->setVerticalHeaderLabels(Numbers);
    for (int i = 0; i < N; ++i)
        for (int r = 0; r < N; ++r) {
            const double Value = FOverlap[static_cast<std::size_t>(i)][static_cast<std::size_t>(r)];
            auto* Cell = new QTableWidgetItem(FromModel(FormatGeneral(Value)));
            Cell->setBackground(Shade(Value));
            Cell->setForeground(Value > 0.55 ? QColor(Qt::white) : QColor(Qt::black));
            Cell->setToolTip(FromModel(FormatGeneral(Value)));
            FGrid->setItem(r, i, Cell);
        }
    FGrid->resizeColumnsToContents();
}

void TOverlapWindow::AnalyzeOverlapBClick()
{
    const int Index = FMain.SelectedCaseMixIndex();
    if (Index < 0) {
        AddMessage("No case mix is selected. Exiting overlap analysis.");
        return;
    }
    TCaseMix* CaseMix = FMain.SelectedCaseMix();
    if (CaseMix == nullptr) {
        AddMessage("There is no case mix. Exiting overlap analysis.");
        return;
    }
    if (CaseMix->Instances.Count() < 2) {
        AddMessage("There are insufficient instances to compare. Exiting overlap analysis.");
        return;
    }
    double Epsilon = 0;
    const std::string EpsilonText = NormalizeDecimalSeparator(ToModel(FEpsilonLE->text()));
    if (!TryTextToFloat(EpsilonText, Epsilon)) {
        ShowMessageBox(this, TBoxKind::Error, "\"" + FEpsilonLE->text() + "\" is not a valid floating point value.");
        return;
    }

    FMessagesM->clear();
    const int N = CaseMix->Instances.Count();
    FAnalyzeOverlapB->setEnabled(false);
    struct TEnableAgain {
        QPushButton* Button;
        ~TEnableAgain() { Button->setEnabled(true); }
    } EnableAgain{FAnalyzeOverlapB};
    TOverlapSettings Settings;
    Settings.Engine = FEngineCB->currentIndex() == 1 ? TOverlapEngine::oeSolver : TOverlapEngine::oeExact;
    try {
        TBusyCursor Busy;
        AnalyzeOverlap(CaseMix->Instances, Epsilon, FOverlap, FDeterministicDistanceCB->isChecked(), Settings,
                       [](int, int) { QCoreApplication::processEvents(); });
    } catch (const std::exception& Error) {
        ShowMessageBox(this, TBoxKind::Error, FromModel(Error.what()));
        return;
    }
    ShowMatrix(N);
    FPageControl1->setCurrentWidget(FGrid);

    if (!FSelectCasesCB->isChecked()) return;
    int y = 0;
    if (!TryTextToInt(ToModel(FSelectNumCasesE->text()), y)) {
        ShowMessageBox(this, TBoxKind::Error, "\"" + FSelectNumCasesE->text() + "\" is not a valid integer value.");
        return;
    }
    DoubArray X;
    double ObjVal = 0;
    try {
        if (!SelectMinOverlapInstances(FOverlap, N, y, X, ObjVal, Settings.Engine)) return;
    } catch (const std::exception& Error) {
        ShowMessageBox(this, TBoxKind::Error, FromModel(Error.what()));
        return;
    }
    FMaxOverlapL->setText(FromModel(FormatGeneral(X[0])));
    if (!FRemoveInstancesCB->isChecked()) return;
    for (int r = N - 1; r >= 0; --r) {
        if (X[1 + static_cast<std::size_t>(r)] >= ChosenValue) continue;
        CaseMix->Instances.Delete(r);
        FGrid->setVerticalHeaderItem(r, new QTableWidgetItem("X"));
        FGrid->setHorizontalHeaderItem(r, new QTableWidgetItem("X"));
    }
    FMain.RefillInstanceSelector();
}

void TOverlapWindow::keyPressEvent(QKeyEvent* Event)
{
    if (Event->key() == Qt::Key_Escape) {
        accept();
        return;
    }
    QDialog::keyPressEvent(Event);
}

}  // namespace orbench::ui
