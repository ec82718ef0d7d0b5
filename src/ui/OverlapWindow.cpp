#include "OverlapWindow.h"

#include <QPainter>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <charconv>
#include <cmath>

#include "MainWindow.h"
#include "NumberFormat.h"
#include "Overlap.h"
#include "OverlapShading.h"
#include "PictureFiles.h"
#include "Selection.h"
#include "TableText.h"
#include "TextUtils.h"
#include "UiServices.h"

namespace orbench::ui {

namespace {

constexpr double ChosenValue = 1e-8;
constexpr int InitialGridSize = 10;
const char* const AnalyzeCaption = "&Analyze overlap";
const char* const StopCaption = "&STOP";
const char* const SelectCaption = "Select            cases with minimal overlap";
const char* const ChosenMark = " \u2713";
// A picture of the matrix keeps every cell at least this wide, so that its numbers can be read.
constexpr int PictureCellSize = 40;
constexpr int PictureSize = 800;

// Thrown from the row hook when STOP was pressed.
struct TAnalysisStopped {};

// The shading from 0 (top) to 1 (bottom), labelled, beside the grid.
class TOverlapKey : public QWidget {
public:
    explicit TOverlapKey(QWidget* Parent) : QWidget(Parent)
    {
        setObjectName("OverlapKey");
        setFixedWidth(fontMetrics().horizontalAdvance("0.5") + 34);
        setToolTip("Overlap of two instances: the share of their work that can be matched surgery by surgery");
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter Painter(this);
        const int Text = fontMetrics().height();
        const QRectF Bar(2, Text, 14, height() - 2 * Text);
        QLinearGradient Gradient(Bar.topLeft(), Bar.bottomLeft());
        Gradient.setColorAt(0, OverlapShade(0));
        Gradient.setColorAt(1, OverlapShade(1));
        Painter.setPen(QColor(160, 160, 160));
        Painter.setBrush(Gradient);
        Painter.drawRect(Bar);
        Painter.setPen(palette().color(QPalette::WindowText));
        for (const double Value : {0.0, 0.5, 1.0}) {
            const double Y = Bar.top() + Value * Bar.height();
            Painter.drawText(QRectF(Bar.right() + 4, Y - Text / 2.0, width(), Text), Qt::AlignLeft | Qt::AlignVCenter,
                             Value == 0.5 ? OverlapCellText(0.5).left(3) : QString::number(static_cast<int>(Value)));
        }
    }
};

// Draws a selected cell as usual, then frames it, so that the selection shows on any shading.
class TFramedSelection : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* Painter, const QStyleOptionViewItem& Option, const QModelIndex& Index) const override
    {
        QStyleOptionViewItem Plain = Option;
        const bool Selected = (Option.state & QStyle::State_Selected) != 0;
        Plain.state &= ~QStyle::State_Selected;  // the cell keeps its shade
        QStyledItemDelegate::paint(Painter, Plain, Index);
        if (!Selected) return;
        Painter->save();
        Painter->setPen(QPen(QColor(220, 30, 30), 3));
        Painter->setBrush(Qt::NoBrush);
        Painter->drawRect(QRectF(Option.rect).adjusted(1.5, 1.5, -1.5, -1.5));
        Painter->restore();
    }
};

// The name of an instance for the matrix file: its file name without the folder, or its name.
std::string InstanceLabel(const TInstance& Instance, int Position)
{
    if (!Instance.FileName.empty()) return Instance.FileName.substr(Instance.FileName.find_last_of('/') + 1);
    if (!Instance.Name.empty()) return Instance.Name;
    return "instance_" + std::to_string(Position);
}

// The message of the exception being handled.
QString CurrentErrorText()
{
    try {
        throw;
    } catch (const std::exception& Error) {
        return FromModel(Error.what());
    } catch (...) {
        return "Unknown error.";
    }
}

// The shortest text that reads back as the same double, with '.'.
QString FormatShortest(double Value)
{
    char Buffer[64];
    const std::to_chars_result Result = std::to_chars(Buffer, Buffer + sizeof Buffer, Value);
    return QString::fromLatin1(Buffer, static_cast<qsizetype>(Result.ptr - Buffer));
}

// The same with the locale's decimal separator.
QString FormatFull(double Value)
{
    QString Text = FormatShortest(Value);
    if (DecimalSeparator() != '.') Text.replace('.', QChar(DecimalSeparator()));
    return Text;
}

}  // namespace

QString TOverlapGrid::CopyText() const
{
    int Top = 0, Left = 0, Bottom = rowCount() - 1, Right = columnCount() - 1;
    const QModelIndexList Selected = selectionModel()->selectedIndexes();
    if (!Selected.isEmpty()) {
        Top = Bottom = Selected.first().row();
        Left = Right = Selected.first().column();
        for (const QModelIndex& Index : Selected) {
            Top = std::min(Top, Index.row()), Bottom = std::max(Bottom, Index.row());
            Left = std::min(Left, Index.column()), Right = std::max(Right, Index.column());
        }
    }
    QString Text;
    for (int Row = Top; Row <= Bottom; ++Row) {
        for (int Column = Left; Column <= Right; ++Column) {
            if (Column > Left) Text += '\t';
            const QTableWidgetItem* Cell = item(Row, Column);
            if (Cell == nullptr || (!Selected.isEmpty() && !Cell->isSelected())) continue;
            const QVariant Value = Cell->data(ValueRole);
            Text += Value.isValid() ? FormatFull(Value.toDouble()) : Cell->text();
        }
        Text += '\n';
    }
    return Text;
}

void TOverlapGrid::keyPressEvent(QKeyEvent* Event)
{
    // The view would copy the current cell's three-decimal text only.
    if (Event->matches(QKeySequence::Copy)) {
        QApplication::clipboard()->setText(CopyText());
        Event->accept();
        return;
    }
    QTableWidget::keyPressEvent(Event);
}

TOverlapWindow::TOverlapWindow(TMainWindow& Main) : TRunDialog(&Main), FMain(Main)
{
    setObjectName("Form3");
    setWindowTitle("Analyze overlap of instances");
    auto* Layout = new QHBoxLayout(this);
    FOptions = new QWidget(this);
    auto* Left = new QVBoxLayout(FOptions);
    Left->setContentsMargins(0, 0, 0, 0);

    FAnalyzeOverlapB = new QPushButton(AnalyzeCaption, FOptions);
    FAnalyzeOverlapB->setObjectName("AnalyzeOverlapB");
    FAnalyzeOverlapB->setAutoDefault(false);
    FAnalyzeOverlapB->setDefault(true);  // Enter starts it
    connect(FAnalyzeOverlapB, &QPushButton::clicked, this, [this] { AnalyzeOverlapBClick(); });
    Left->addWidget(FAnalyzeOverlapB);
    FGauge = new QProgressBar(FOptions);
    FGauge->setObjectName("Gauge1");
    FGauge->setFormat("%v of %m rows");
    QSizePolicy GaugePolicy = FGauge->sizePolicy();
    GaugePolicy.setRetainSizeWhenHidden(true);
    FGauge->setSizePolicy(GaugePolicy);
    FGauge->setVisible(false);
    Left->addWidget(FGauge);

    // The number field sits on the blanks of the check box's caption.
    FSelectCasesCB = new QCheckBox(SelectCaption, FOptions);
    FSelectCasesCB->setObjectName("SelectCasesCB");
    FSelectNumCasesE = new QLineEdit("3", FSelectCasesCB);
    FSelectNumCasesE->setObjectName("SelectNumCasesE");
    FSelectNumCasesE->setAlignment(Qt::AlignRight);
    FSelectCasesCB->installEventFilter(this);
    PlaceSelectNumCasesE();
    Left->addWidget(FSelectCasesCB);
    FRemoveInstancesCB = new QCheckBox("Remove other instances", FOptions);
    FRemoveInstancesCB->setObjectName("RemoveInstancesCB");
    Left->addWidget(FRemoveInstancesCB);

    const QString EpsilonHint =
        "Surgeries are considered proximal iff their expected duration differs no more than "
        "epsilon (from [0,1], where 1 is the total OR opening time)";
    auto* EpsilonLabel = new QLabel("Epsilon (from [0,1])", FOptions);
    FEpsilonLE = new QLineEdit("0,01", FOptions);
    FEpsilonLE->setObjectName("EpsilonLE");
    EpsilonLabel->setBuddy(FEpsilonLE);
    EpsilonLabel->setToolTip(EpsilonHint);
    FEpsilonLE->setToolTip(EpsilonHint);
    Left->addWidget(EpsilonLabel);
    Left->addWidget(FEpsilonLE);
    FDeterministicDistanceCB = new QCheckBox("Deterministic distance", FOptions);
    FDeterministicDistanceCB->setObjectName("DeterministicDistanceCB");
    FDeterministicDistanceCB->setToolTip(
        "deterministic: distance based on expected value. Stochastic: based on "
        "euclidean distance in case mix classification");
    Left->addWidget(FDeterministicDistanceCB);
    auto* EngineLabel = new QLabel("Engine:", FOptions);
    FEngineCB = new QComboBox(FOptions);
    FEngineCB->setObjectName("EngineCB");
    FEngineCB->addItems({"exact", "solver"});
    FEngineCB->setToolTip("exact: combinatorial algorithms (fast); solver: the LP/MIP models solved with CLP and CBC");
    Left->addWidget(EngineLabel);
    Left->addWidget(FEngineCB);
    FProblemL = new QLabel(FOptions);
    FProblemL->setObjectName("ProblemL");
    FProblemL->setWordWrap(true);
    FProblemL->setStyleSheet("color: #b00020;");
    Left->addWidget(FProblemL);
    auto* MaxRow = new QHBoxLayout();
    auto* Lbl1 = new QLabel("Max overlap:", FOptions);
    Lbl1->setObjectName("lbl1");
    FMaxOverlapL = new QLabel("...", FOptions);
    FMaxOverlapL->setObjectName("MaxOverlapL");
    MaxRow->addWidget(Lbl1);
    MaxRow->addWidget(FMaxOverlapL, 1);
    Left->addLayout(MaxRow);
    FSaveMatrixB = new QPushButton("Save &matrix...", FOptions);
    FSaveMatrixB->setObjectName("SaveMatrixB");
    FSaveMatrixB->setAutoDefault(false);
    FSaveMatrixB->setToolTip(
        "Save the overlap matrix as a CSV file (every value in full) or as a picture of the "
        "shaded grid (.svg, .png)");
    FSaveMatrixB->setEnabled(false);
    connect(FSaveMatrixB, &QPushButton::clicked, this, [this] { SaveMatrixBClick(); });
    Left->addWidget(FSaveMatrixB);
    Left->addStretch(1);
    // The column keeps its width, and the button with it whatever its caption: room for the
    // captions and for any overlap in general format.
    const QFontMetrics Metrics(font());
    const int MaxOverlapWidth = Metrics.horizontalAdvance(Lbl1->text()) + MaxRow->spacing() +
                                Metrics.horizontalAdvance(FromModel(FormatGeneral(0.123456789012345))) + 4;
    FOptions->setFixedWidth(std::max(FOptions->sizeHint().width(), MaxOverlapWidth));
    Layout->addWidget(FOptions);

    FPageControl1 = new QTabWidget(this);
    FPageControl1->setObjectName("PageControl1");
    FMessagesM = new QPlainTextEdit();
    FMessagesM->setObjectName("MessagesM");
    FMessagesM->setReadOnly(true);
    FMessagesM->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    FMessagesM->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    FGrid = new TOverlapGrid(InitialGridSize, InitialGridSize);
    FGrid->setObjectName("Grid");
    // Compact cells of a fixed width: "0.000" with a margin; row numbers with room for a mark.
    const int CellWidth = std::max(40, Metrics.horizontalAdvance("0.000") + 14);
    FGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    FGrid->horizontalHeader()->setDefaultSectionSize(CellWidth);
    FGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    SetRowNumberWidth(InitialGridSize);
    QStringList Blank;
    for (int i = 0; i < InitialGridSize; ++i) Blank << "";
    FGrid->setHorizontalHeaderLabels(Blank);
    FGrid->setVerticalHeaderLabels(Blank);
    FGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FGrid->setWordWrap(false);
    FGrid->setItemDelegate(new TFramedSelection(FGrid));
    auto* Matching = new QWidget();
    auto* MatchingLayout = new QHBoxLayout(Matching);
    MatchingLayout->setContentsMargins(0, 0, 0, 0);
    MatchingLayout->addWidget(FGrid, 1);
    MatchingLayout->addWidget(new TOverlapKey(Matching));
    FPageControl1->addTab(FMessagesM, "Messages");
    FPageControl1->addTab(Matching, "Matching");
    FPageControl1->setCurrentIndex(1);
    Layout->addWidget(FPageControl1, 1);

    // Wide enough for ten columns beside the options.
    const int GridWidth = FGrid->verticalHeader()->minimumWidth() + InitialGridSize * CellWidth +
                          FGrid->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 16;
    const QMargins Margins = Layout->contentsMargins();
    resize(std::max(715, Margins.left() + FOptions->width() + Layout->spacing() + GridWidth + Margins.right()), 428);
    setMinimumSize(700, 465);
    for (QLineEdit* Field : {FSelectNumCasesE, FEpsilonLE})
        connect(Field, &QLineEdit::textChanged, this, [this] { Validate(); });
    connect(FSelectCasesCB, &QCheckBox::toggled, this, [this] { Validate(); });
    Validate();
}

QString TOverlapWindow::InputProblem() const
{
    double Epsilon = 0;
    if (!TryTextToFloat(NormalizeDecimalSeparator(ToModel(FEpsilonLE->text())), Epsilon) || !std::isfinite(Epsilon) ||
        Epsilon < 0)
        return "Epsilon must be a number of at least 0 (it is \"" + FEpsilonLE->text() + "\").";
    if (!FSelectCasesCB->isChecked()) return "";
    const TCaseMix* CaseMix = FMain.SelectedCaseMix();
    const int N = CaseMix != nullptr ? CaseMix->Instances.Count() : 0;
    if (N < 2) return "There are fewer than two instances to select from.";
    int K = 0;
    if (!TryTextToInt(ToModel(FSelectNumCasesE->text()), K) || K < 1 || K > N - 1)
        return QString("Select a number of cases from 1 to %1 (of the %2 instances), not \"%3\".")
            .arg(N - 1)
            .arg(N)
            .arg(FSelectNumCasesE->text());
    return "";
}

void TOverlapWindow::Validate()
{
    const QString Problem = InputProblem();
    FProblemL->setText(Problem);
    FProblemL->setVisible(!Problem.isEmpty());
    if (!FRunning) FAnalyzeOverlapB->setEnabled(Problem.isEmpty());
}

void TOverlapWindow::PlaceSelectNumCasesE()
{
    // Over the blanks of the caption, one blank clear of "Select" and of "cases".
    QStyleOptionButton Option;
    Option.initFrom(FSelectCasesCB);
    Option.text = FSelectCasesCB->text();
    const QRect Contents =
        FSelectCasesCB->style()->subElementRect(QStyle::SE_CheckBoxContents, &Option, FSelectCasesCB);
    const QFontMetrics Metrics(FSelectCasesCB->font());
    const QString Caption = FSelectCasesCB->text();
    const int Blanks = static_cast<int>(Caption.indexOf("cases") - Caption.indexOf(' '));
    const int From = Contents.left() + Metrics.horizontalAdvance("Select ");
    const int To = Contents.left() + Metrics.horizontalAdvance("Select" + QString(Blanks - 1, ' '));
    FSelectNumCasesE->setGeometry(From, 0, To - From, FSelectCasesCB->height());
}

bool TOverlapWindow::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == FSelectCasesCB && (Event->type() == QEvent::Resize || Event->type() == QEvent::Show ||
                                      Event->type() == QEvent::FontChange || Event->type() == QEvent::StyleChange))
        PlaceSelectNumCasesE();
    return QDialog::eventFilter(Watched, Event);
}

void TOverlapWindow::AddMessage(const QString& Message, bool ShowMessages)
{
    FMessagesM->appendPlainText(Message);
    if (ShowMessages) FPageControl1->setCurrentWidget(FMessagesM);
}

void TOverlapWindow::PrepareGrid(int N)
{
    FGrid->clear();
    FGrid->setColumnCount(N);
    FGrid->setRowCount(N);
    QStringList Numbers;
    for (int i = 0; i < N; ++i) Numbers << QString::number(i);
    FGrid->setHorizontalHeaderLabels(Numbers);
    FGrid->setVerticalHeaderLabels(Numbers);
    SetRowNumberWidth(N);
}

void TOverlapWindow::SetRowNumberWidth(int N)
{
    const QString Widest = QString::number(std::max(N - 1, 10)) + ChosenMark;
    FGrid->verticalHeader()->setMinimumWidth(FGrid->verticalHeader()->fontMetrics().horizontalAdvance(Widest) + 12);
}

void TOverlapWindow::ShowMatrix(int N)
{
    for (int i = 0; i < N; ++i)
        for (int r = 0; r < N; ++r) {
            const double Value = FOverlap[static_cast<std::size_t>(i)][static_cast<std::size_t>(r)];
            auto* Cell = new QTableWidgetItem(OverlapCellText(Value));
            Cell->setData(TOverlapGrid::ValueRole, Value);
            Cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            Cell->setBackground(OverlapShade(Value));
            Cell->setForeground(OverlapTextColour(Value));
            Cell->setToolTip(FormatFull(Value));
            FGrid->setItem(r, i, Cell);
        }
}

void TOverlapWindow::SetRunning(bool Running)
{
    FRunning = Running;
    FAnalyzeOverlapB->setText(Running ? StopCaption : AnalyzeCaption);
    for (QWidget* Control : FOptions->findChildren<QWidget*>())
        if (Control != FAnalyzeOverlapB && Control != FGauge && Control->parentWidget() == FOptions)
            Control->setEnabled(!Running);
    FGauge->setVisible(Running);
    FSaveMatrixB->setEnabled(!Running && !FOverlap.empty());
    if (Running)
        FAnalyzeOverlapB->setEnabled(true);  // STOP
    else
        Validate();
}

void TOverlapWindow::AnalyzeOverlapBClick()
{
    if (FRunning) {
        RequestStop(false);
        return;
    }
    FStopRequested = false;
    Analyze();
    if (FCloseAfterRun) accept();
}

void TOverlapWindow::Analyze()
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
    if (const QString Problem = InputProblem(); !Problem.isEmpty()) {
        ShowMessageBox(this, TBoxKind::bkError, Problem);
        return;
    }
    double Epsilon = 0;
    TryTextToFloat(NormalizeDecimalSeparator(ToModel(FEpsilonLE->text())), Epsilon);

    FMessagesM->clear();
    const int N = CaseMix->Instances.Count();
    FChosen.clear();
    FNames.clear();
    for (int i = 0; i < N; ++i) FNames.push_back(InstanceLabel(*CaseMix->Instances[i], i));
    // What the last analysis showed goes with it.
    FMaxOverlapL->setText("...");
    FMaxOverlapL->setToolTip("");
    PrepareGrid(N);
    TOverlapSettings Settings;
    Settings.Engine = FEngineCB->currentIndex() == 1 ? TOverlapEngine::oeSolver : TOverlapEngine::oeExact;
    // STOP also reaches the engine between the rows' pairs where it can take a poll.
    ConnectStopPoll(Settings, [this] { return PollStop(); });
    int RowsDone = 0;
    FGauge->setRange(0, N);
    FGauge->setValue(0);
    SetRunning(true);
    try {
        AnalyzeOverlap(CaseMix->Instances, Epsilon, FOverlap, FDeterministicDistanceCB->isChecked(), Settings,
                       [this, &RowsDone](int Row, int) {
                           RowsDone = Row + 1;
                           FGauge->setValue(RowsDone);
                           if (PollStop()) throw TAnalysisStopped();
                       });
    } catch (const TAnalysisStopped&) {
    } catch (...) {
        // A stop that the engine acted on ends the analysis like one at a row.
        if (!FStopRequested) {
            FOverlap.clear();
            SetRunning(false);
            ShowMessageBox(this, TBoxKind::bkError, CurrentErrorText());
            return;
        }
    }
    if (FStopRequested) FOverlap.clear();
    SetRunning(false);
    if (FStopRequested) {
        AddMessage(QString("Overlap analysis stopped after %1 of %2 rows.").arg(RowsDone).arg(N));
        return;
    }
    ShowMatrix(N);
    FPageControl1->setCurrentWidget(FGrid->parentWidget());

    if (!FSelectCasesCB->isChecked()) return;
    int y = 0;
    TryTextToInt(ToModel(FSelectNumCasesE->text()), y);  // checked above: 1 .. N - 1
    DoubArray X;
    double ObjVal = 0;
    // A long selection (the solver's MIP) can be stopped like the analysis; the gauge then only
    // says that work is going on.
    FGauge->setRange(0, 0);
    SetRunning(true);
    bool Selected = false;
    try {
        Selected = SelectMinOverlapInstances(FOverlap, N, y, X, ObjVal, Settings);
    } catch (...) {
        SetRunning(false);
        if (FStopRequested)
            AddMessage("Selection stopped: no instance was chosen.");
        else
            ShowMessageBox(this, TBoxKind::bkError, CurrentErrorText());
        return;
    }
    SetRunning(false);
    if (!Selected) return;
    FMaxOverlapL->setText(OverlapCellText(X[0]));  // as the grid shows it; in full in the tool tip
    FMaxOverlapL->setToolTip(FormatFull(X[0]));
    const bool Remove = FRemoveInstancesCB->isChecked();
    QStringList Chosen;
    FChosen.assign(static_cast<std::size_t>(N), false);
    for (int r = 0; r < N; ++r) {
        if (X[1 + static_cast<std::size_t>(r)] < ChosenValue) continue;
        FChosen[static_cast<std::size_t>(r)] = true;
        Chosen << QString::number(r);
        // Without removal the headers show which instances were chosen; with it, the "X" of the
        // removed ones does.
        if (Remove) continue;
        FGrid->setVerticalHeaderItem(r, new QTableWidgetItem(OverlapHeaderText(r, true)));
        FGrid->setHorizontalHeaderItem(r, new QTableWidgetItem(OverlapHeaderText(r, true)));
    }
    AddMessage("Selected instances: " + Chosen.join(", ") + " (largest overlap among them: " + OverlapCellText(X[0]) +
                   ")" + (Remove ? "; the other instances were removed." : "."),
               false);
    if (!Remove) return;
    for (int r = N - 1; r >= 0; --r) {
        if (X[1 + static_cast<std::size_t>(r)] >= ChosenValue) continue;
        CaseMix->Instances.Delete(r);
        FGrid->setVerticalHeaderItem(r, new QTableWidgetItem("X"));
        FGrid->setHorizontalHeaderItem(r, new QTableWidgetItem("X"));
    }
    FMain.RefillInstanceSelector();
    Validate();  // fewer instances now
}

QString TOverlapWindow::MatrixCsvText() const
{
    const auto Name = [this](std::size_t i) {
        return FromModel(CsvField(i < FNames.size() ? FNames[i] : "instance_" + std::to_string(i)));
    };
    QString Text = "instance,chosen";
    for (std::size_t i = 0; i < FOverlap.size(); ++i) Text += ',' + Name(i);
    Text += "\r\n";
    for (std::size_t r = 0; r < FOverlap.size(); ++r) {
        Text += Name(r) + ',';
        if (!FChosen.empty()) Text += FChosen[r] ? "1" : "0";
        for (std::size_t i = 0; i < FOverlap.size(); ++i) Text += ',' + FormatShortest(FOverlap[i][r]);
        Text += "\r\n";
    }
    return Text;
}

void TOverlapWindow::SaveMatrixBClick()
{
    if (FRunning || FOverlap.empty()) return;
    TFileDialogRequest Request;
    Request.Save = true;
    Request.Caption = "Save matrix";
    Request.Directory = FMain.Folders().FileFolder;
    Request.ProposedName = "overlap_matrix";
    if (const TCaseMix* CaseMix = FMain.SelectedCaseMix()) Request.ProposedName += "_" + FromModel(CaseMix->Name);
    Request.Filter = "CSV files (*.csv);;SVG pictures (*.svg);;PNG pictures (*.png);;All files (*)";
    Request.DefaultSuffix = "csv";
    const QString FileName = RunFileDialog(this, Request);
    if (FileName.isEmpty()) return;
    try {
        if (const std::optional<TPictureFormat> Format = PictureFormatOf(FileName)) {
            const int Side = std::max(PictureSize, PictureCellSize * (static_cast<int>(FOverlap.size()) + 3));
            WritePicture(FileName, *Format, QSize(Side, Side), "Overlap between instances",
                         [this, Side](QPainter& Painter) {
                             PaintOverlapMatrix(Painter, QSizeF(Side, Side), FOverlap, FChosen);
                         });
        } else {
            WriteFileBytes(FileName, MatrixCsvText().toLatin1());
        }
    } catch (const std::exception& Error) {
        ShowMessageBox(this, TBoxKind::bkError, FromModel(Error.what()));
    }
}

}  // namespace orbench::ui
