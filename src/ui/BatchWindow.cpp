#include "BatchWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>

#include "MainWindow.h"
#include "Model.h"
#include "NumberFormat.h"
#include "ParameterLists.h"
#include "UiServices.h"

namespace orbench::ui {

namespace {

QString EarlierRunQuestion(const EEarlierRunFiles& Earlier)
{
    const std::size_t Count = Earlier.Files.size();
    return QString("The folder\n%1\nholds %2 of an earlier run (instance files, REMOVE_ files, reports, manifest).\n\n"
                   "Delete %3 and start the run?")
        .arg(FromModel(Earlier.Directory))
        .arg(Count == 1 ? QString("1 file") : QString("%1 files").arg(Count))
        .arg(Count == 1 ? "it" : "them");
}

namespace fs = std::filesystem;

const char* const GoCaption = "&Go!";
const char* const TheoreticalCaption = "Generate Theor. Inst.";
const char* const StopCaption = "&STOP";


QListWidget* NewList(QWidget* Parent, const char* Name)
{
    auto* List = new QListWidget(Parent);
    List->setObjectName(Name);
    List->setSelectionMode(QAbstractItemView::ExtendedSelection);
    List->setContextMenuPolicy(Qt::CustomContextMenu);
    return List;
}

QLineEdit* NewEdit(QWidget* Parent, const char* Name, const QString& Text, int Width = 0)
{
    auto* Edit = new QLineEdit(Text, Parent);
    Edit->setObjectName(Name);
    if (Width > 0) Edit->setFixedWidth(Width);
    return Edit;
}

QPushButton* NewButton(QWidget* Parent, const char* Name, const QString& Caption)
{
    auto* Button = new QPushButton(Caption, Parent);
    Button->setObjectName(Name);
    Button->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    return Button;
}

// The files of the output tree that a run makes: instance files, marked instance files and
// reports, each with its last write time, in the case-mix directories under the base directory.
using TRunFiles = std::map<std::string, fs::file_time_type>;

TRunFiles ScanRunFiles(const std::string& BaseDirectory)
{
    TRunFiles Files;
    std::error_code Error;
    for (const fs::directory_entry& CaseMixDir : fs::directory_iterator(BaseDirectory, Error)) {
        if (!CaseMixDir.is_directory(Error)) continue;
        for (const fs::directory_entry& File : fs::directory_iterator(CaseMixDir.path(), Error)) {
            const std::string Name = File.path().filename().string();
            if (!File.is_regular_file(Error) || !Name.ends_with(".txt")) continue;
            if (!Name.starts_with("ordays_") && !Name.starts_with("REMOVE_") && !Name.starts_with("overlap_") &&
                !Name.starts_with("proximity_"))
                continue;
            Files[File.path().string()] = File.last_write_time(Error);
        }
    }
    return Files;
}

struct TRunCounts {
    int Kept = 0;
    int Marked = 0;
    int Reports = 0;
};

// What a run wrote: the files that are new since Before or were written again.
TRunCounts CountRunFiles(const TRunFiles& Before, const TRunFiles& After)
{
    TRunCounts Counts;
    for (const auto& [Path, Time] : After) {
        const auto Old = Before.find(Path);
        if (Old != Before.end() && Old->second == Time) continue;
        const std::string Name = fs::path(Path).filename().string();
        if (Name.starts_with("ordays_"))
            ++Counts.Kept;
        else if (Name.starts_with("REMOVE_"))
            ++Counts.Marked;
        else
            ++Counts.Reports;
    }
    return Counts;
}

QAction* AddMenuItem(QMenu* Menu, const char* Name, const QString& Caption)
{
    QAction* Action = Menu->addAction(Caption);
    Action->setObjectName(Name);
    return Action;
}

}  // namespace

TBatchWindow::TBatchWindow(TMainWindow& Main) : TRunDialog(&Main), FMain(Main)
{
    setObjectName("InstanceGenerationF");
    setWindowTitle("Generate instances");
    BaseDirectory = Main.ProgramDirectory() + "instances/";
    BuildWindow();
    for (const auto& CaseMix : Main.Data().CaseMixes) AddCaseMixEntry(*CaseMix);
    // The layout needs more room than 794 x 480 with the desktop fonts of today.
    setFixedSize(QSize(880, 500).expandedTo(minimumSizeHint()));
}

void TBatchWindow::BuildWindow()
{
    auto* Layout = new QVBoxLayout(this);
    auto* Columns = new QSplitter(Qt::Horizontal, this);
    Columns->setChildrenCollapsible(false);

    // Case mixes.
    auto* CaseMixGB = new QGroupBox("Case mixes", Columns);
    auto* CaseMixLayout = new QVBoxLayout(CaseMixGB);
    FCaseMixCLB = NewList(CaseMixGB, "CaseMixCLB");
    // Room between the check boxes; long names scroll instead of being cut.
    FCaseMixCLB->setSpacing(2);
    FCaseMixCLB->setTextElideMode(Qt::ElideNone);
    FCaseMixCLB->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    SetHint(FCaseMixCLB, "Check the case mixes to generate instances for; select (highlight) at least one entry");
    CaseMixLayout->addWidget(FCaseMixCLB);
    auto* LoadCaseMixB = NewButton(CaseMixGB, "LoadCaseMixB", "Load case mix from file...");
    CaseMixLayout->addWidget(LoadCaseMixB);
    connect(LoadCaseMixB, &QPushButton::clicked, this, [this] { LoadCaseMixBClick(); });
    auto* CaseMixPUM = new QMenu(this);
    CaseMixPUM->setObjectName("CaseMixPUM");
    connect(AddMenuItem(CaseMixPUM, "SelectAllCaseMixesMI", "Select &all"), &QAction::triggered, this,
            [this] { SelectAllCaseMixes(true); });
    connect(AddMenuItem(CaseMixPUM, "SelectNoneCaseMixesMI", "Select &none"), &QAction::triggered, this,
            [this] { SelectAllCaseMixes(false); });
    connect(FCaseMixCLB, &QListWidget::customContextMenuRequested, this,
            [this, CaseMixPUM](const QPoint& Pos) { CaseMixPUM->popup(FCaseMixCLB->viewport()->mapToGlobal(Pos)); });

    // A range row: "Add" in front of from, to and by, with "to:          by:" above.
    auto RangeRow = [](QWidget* Parent, QVBoxLayout* Into, QPushButton* Add, QLineEdit* From, QLineEdit* To,
                       QLineEdit* By) {
        auto* Caption = new QLabel("to:          by:", Parent);
        Caption->setAlignment(Qt::AlignRight);
        Caption->setContentsMargins(0, 0, By->width() - 14, 0);
        Into->addWidget(Caption);
        auto* Row = new QHBoxLayout();
        Row->addWidget(Add);
        Row->addWidget(From);
        Row->addWidget(To);
        Row->addWidget(By);
        Into->addLayout(Row);
    };

    // Numbers of OR-days.
    auto* NumOpGB = new QGroupBox("Number of operating rooms", Columns);
    auto* NumOpLayout = new QVBoxLayout(NumOpGB);
    FNumOperatingRoomsLB = NewList(NumOpGB, "NumOperatingRoomsLB");
    for (int n = 5; n <= 40; n += 5) FNumOperatingRoomsLB->addItem(QString::number(n));
    SetHint(FNumOperatingRoomsLB, "The numbers of OR-days of the instances, processed in this order");
    NumOpLayout->addWidget(FNumOperatingRoomsLB);
    auto* AddNumOpB = NewButton(NumOpGB, "AddNumOpB", "Add");
    FNumOpFromE = NewEdit(NumOpGB, "NumOpFromE", "1", 30);
    FNumOpToE = NewEdit(NumOpGB, "NumOpToE", "10", 30);
    FNumOpByE = NewEdit(NumOpGB, "NumOpByE", "1", 30);
    RangeRow(NumOpGB, NumOpLayout, AddNumOpB, FNumOpFromE, FNumOpToE, FNumOpByE);
    connect(AddNumOpB, &QPushButton::clicked, this, [this] { AddNumOpBClick(); });
    auto* NumOpButtons = new QHBoxLayout();
    auto* ClearNumOpB = NewButton(NumOpGB, "ClearNumOpB", "Clear");
    auto* SortNumOpB = NewButton(NumOpGB, "SortNumOpB", "Sort");
    NumOpButtons->addWidget(ClearNumOpB);
    NumOpButtons->addWidget(SortNumOpB);
    NumOpLayout->addLayout(NumOpButtons);
    connect(ClearNumOpB, &QPushButton::clicked, FNumOperatingRoomsLB, &QListWidget::clear);
    connect(SortNumOpB, &QPushButton::clicked, this, [this] { SortNumOp(); });
    auto* NumOpPUM = new QMenu(this);
    NumOpPUM->setObjectName("NumOperatingRoomsPUM");
    connect(AddMenuItem(NumOpPUM, "ClearNumOpMI", "&Clear"), &QAction::triggered, FNumOperatingRoomsLB,
            &QListWidget::clear);
    connect(AddMenuItem(NumOpPUM, "RemoveThisItemNumOpMI", "&Remove this item"), &QAction::triggered, this,
            [this] { RemoveThisItem(FNumOperatingRoomsLB); });
    connect(AddMenuItem(NumOpPUM, "RemoveDoubleEntriesNumOpMI", "Remove &double entries"), &QAction::triggered, this,
            [this] { RemoveDoubleNumOp(); });
    connect(AddMenuItem(NumOpPUM, "SortNumOpMI", "&Sort"), &QAction::triggered, this, [this] { SortNumOp(); });
    connect(FNumOperatingRoomsLB, &QListWidget::customContextMenuRequested, this, [this, NumOpPUM](const QPoint& Pos) {
        NumOpPUM->popup(FNumOperatingRoomsLB->viewport()->mapToGlobal(Pos));
    });

    // Loads and options above the messages.
    auto* Third = new QSplitter(Qt::Vertical, Columns);
    Third->setChildrenCollapsible(false);
    auto* Upper = new QWidget(Third);
    auto* UpperLayout = new QHBoxLayout(Upper);
    UpperLayout->setContentsMargins(0, 0, 0, 0);
    auto* LoadGB = new QGroupBox("Load", Upper);
    auto* LoadLayout = new QVBoxLayout(LoadGB);
    FLoadLB = NewList(LoadGB, "LoadLB");
    for (const char* Load : {"0.80", "0.85", "0.90", "0.95", "1.00", "1.05", "1.10", "1.15", "1.20"})
        FLoadLB->addItem(Load);
    SetHint(FLoadLB, "The target loads of the instances, processed in ascending order");
    LoadLayout->addWidget(FLoadLB);
    auto* AddLoadB = NewButton(LoadGB, "AddLoadB", "Add");
    FLoadFromE = NewEdit(LoadGB, "LoadFromE", "0.8", 34);
    FLoadToE = NewEdit(LoadGB, "LoadToE", "1.2", 34);
    FLoadByE = NewEdit(LoadGB, "LoadByE", "0.1", 34);
    RangeRow(LoadGB, LoadLayout, AddLoadB, FLoadFromE, FLoadToE, FLoadByE);
    connect(AddLoadB, &QPushButton::clicked, this, [this] { AddLoadBClick(); });
    auto* LoadButtons = new QHBoxLayout();
    auto* ClearLoadB = NewButton(LoadGB, "ClearLoadB", "Clear");
    auto* SortLoadB = NewButton(LoadGB, "SortLoadB", "Sort");
    LoadButtons->addWidget(ClearLoadB);
    LoadButtons->addWidget(SortLoadB);
    LoadLayout->addLayout(LoadButtons);
    connect(ClearLoadB, &QPushButton::clicked, FLoadLB, &QListWidget::clear);
    connect(SortLoadB, &QPushButton::clicked, this, [this] { SortLoad(); });
    auto* LoadPUM = new QMenu(this);
    LoadPUM->setObjectName("LoadPUM");
    connect(AddMenuItem(LoadPUM, "RemoveThisItemLoadMI", "&Remove this item"), &QAction::triggered, this,
            [this] { RemoveThisItem(FLoadLB); });
    connect(AddMenuItem(LoadPUM, "ClearLoadMI", "&Clear"), &QAction::triggered, FLoadLB, &QListWidget::clear);
    connect(AddMenuItem(LoadPUM, "RemoveDoubleEntriesLoadMI", "Remove &double entries"), &QAction::triggered, this,
            [this] { RemoveDoubleLoad(); });
    connect(AddMenuItem(LoadPUM, "SortLoadMI", "&Sort"), &QAction::triggered, this, [this] { SortLoad(); });
    connect(FLoadLB, &QListWidget::customContextMenuRequested, this,
            [this, LoadPUM](const QPoint& Pos) { LoadPUM->popup(FLoadLB->viewport()->mapToGlobal(Pos)); });
    UpperLayout->addWidget(LoadGB);

    auto* OptionsGB = new QGroupBox("Options", Upper);
    auto* Options = new QFormLayout(OptionsGB);
    auto AddLabelled = [&](QLineEdit* Edit, const QString& Caption, const QString& Hint, const QString& LabelHint) {
        auto* Label = new QLabel(Caption, OptionsGB);
        Label->setBuddy(Edit);
        Edit->setFixedWidth(56);
        SetHint(Edit, Hint);
        SetHint(Label, LabelHint);
        Options->addRow(Label, Edit);
    };
    auto AddCheck = [&](QCheckBox*& Box, const char* Name, const QString& Caption, bool Checked, const QString& Hint) {
        Box = new QCheckBox(Caption, OptionsGB);
        Box->setObjectName(Name);
        Box->setChecked(Checked);
        if (!Hint.isEmpty()) SetHint(Box, Hint);
        Options->addRow(Box);
    };
    const QString EpsilonHint = "Surgeries are considered proximal iff their expected duration differs no more than "
                                "epsilon (from [0,1], where 1 is the total OR opening time)";
    const QString SelectHint = "Indicate the number of instances that have minimal overlap.\nThis number must be "
                               "smaller than the number of generated instances!";
    FNumInstancesPerSettingLE = NewEdit(OptionsGB, "NumInstancesPerSettingLE", "30");
    AddLabelled(FNumInstancesPerSettingLE, "# instances per combination:",
                "Number of instances generated per case mix, number of OR-days and load", "");
    AddCheck(FSaveInstancesCB, "SaveInstancesCB", "Save instances", true, "Write every instance to its file");
    FMaxLoadDeviationLE = NewEdit(OptionsGB, "MaxLoadDeviationLE", "0.025");
    AddLabelled(FMaxLoadDeviationLE, "Maximum deviation from load:",
                "Half-width of the window around each load in which an instance is accepted", "");
    AddCheck(FAnalyzeOverlapCB, "AnalyzeOverlapCB", "Analyze overlap", true,
             "Check this to let the program make a report about the overlap between the instances.\nIt will generate "
             "a tab-separated table written to a file for each instance-combination.");
    FNumInstancesToSelectFromLE = NewEdit(OptionsGB, "NumInstancesToSelectFromLE", "10");
    AddLabelled(FNumInstancesToSelectFromLE, "# instances to select:", SelectHint, SelectHint.section('\n', 0, 0));
    FEpsilonLE = NewEdit(OptionsGB, "EpsilonLE", "0,01");
    AddLabelled(FEpsilonLE, "Epsilon (from [0,1])", EpsilonHint, EpsilonHint);
    AddCheck(FRemoveInstancesCB, "RemoveInstancesCB", "Delete other instances", true,
             "Check this to delete all instance files of instances that overlap too much.");
    AddCheck(FDeterministicDistanceCB, "DeterministicDistanceCB", "Deterministic distance", false,
             "Deterministic: distance based on expected value. Stochastic: based on euclidean distance in case mix "
             "classification");
    AddCheck(FCaseMixTypeCB, "CaseMixTypeCB", "Generate for all case mix types", true, "");
    FEngineCB = new QComboBox(OptionsGB);
    FEngineCB->setObjectName("EngineCB");
    FEngineCB->addItems({"exact", "solver"});
    FEngineCB->setFixedWidth(80);
    SetHint(FEngineCB, "exact: combinatorial algorithms (fast); solver: the LP/MIP models solved with CLP and CBC");
    Options->addRow(new QLabel("Engine:", OptionsGB), FEngineCB);
    UpperLayout->addWidget(OptionsGB);

    auto* MessagesGB = new QGroupBox("Messages", Third);
    auto* MessagesLayout = new QVBoxLayout(MessagesGB);
    FMessagesM = new QPlainTextEdit(MessagesGB);
    FMessagesM->setObjectName("MessagesM");
    FMessagesM->setReadOnly(true);
    FMessagesM->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    FMessagesM->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MessagesLayout->addWidget(FMessagesM);
    Layout->addWidget(Columns, 1);

    auto* Bottom = new QHBoxLayout();
    FGauge1 = new QProgressBar(this);
    FGauge1->setObjectName("Gauge1");
    // The gauge keeps its room when hidden, and the run buttons their widths: the buttons stay
    // where they are when a run starts and its button turns into "&STOP".
    QSizePolicy GaugePolicy = FGauge1->sizePolicy();
    GaugePolicy.setRetainSizeWhenHidden(true);
    FGauge1->setSizePolicy(GaugePolicy);
    FGauge1->setVisible(false);
    Bottom->addWidget(FGauge1, 1);
    FGoB = NewButton(this, "GoB", GoCaption);
    FGenTheorInstB = NewButton(this, "GenTheorInstB", TheoreticalCaption);
    const int RunButtonWidth = 160;
    for (QPushButton* Button : {FGoB, FGenTheorInstB}) {
        FixWidthForCaptions(Button, {GoCaption, TheoreticalCaption, StopCaption});
        Button->setFixedWidth(std::max(RunButtonWidth, Button->width()));
    }
    SetHint(FGenTheorInstB, "Generate instances for the case-mix types 0 to 16 from surgery types made while drawing");
    Bottom->addWidget(FGoB);
    Bottom->addWidget(FGenTheorInstB);
    FGoB->setAutoDefault(false);
    FGenTheorInstB->setAutoDefault(false);
    Layout->addLayout(Bottom);
    connect(FGoB, &QPushButton::clicked, this, [this] { GoBClick(); });
    connect(FGenTheorInstB, &QPushButton::clicked, this, [this] { GenTheorInstBClick(); });

    FColumns = Columns;
    FIdleControls = {FCaseMixCLB, LoadCaseMixB, FNumOperatingRoomsLB, AddNumOpB, ClearNumOpB, SortNumOpB,
                     FNumOpFromE, FNumOpToE, FNumOpByE, FLoadLB, AddLoadB, ClearLoadB, SortLoadB,
                     FLoadFromE, FLoadToE, FLoadByE, OptionsGB};
}

QStringList TBatchWindow::Entries(const QListWidget* List) const
{
    QStringList Texts;
    for (int i = 0; i < List->count(); ++i) Texts << List->item(i)->text();
    return Texts;
}

void TBatchWindow::SetEntries(QListWidget* List, const std::vector<std::string>& Entries)
{
    List->clear();
    for (const std::string& Entry : Entries) List->addItem(FromModel(Entry));
}

TBatchInputs TBatchWindow::Inputs() const
{
    TBatchInputs Inputs;
    Inputs.NumInstancesPerSetting = ToModel(FNumInstancesPerSettingLE->text());
    Inputs.SaveInstances = FSaveInstancesCB->isChecked();
    Inputs.MaxLoadDeviation = ToModel(FMaxLoadDeviationLE->text());
    Inputs.AnalyzeOverlap = FAnalyzeOverlapCB->isChecked();
    Inputs.NumInstancesToSelect = ToModel(FNumInstancesToSelectFromLE->text());
    Inputs.Epsilon = ToModel(FEpsilonLE->text());
    Inputs.RemoveInstances = FRemoveInstancesCB->isChecked();
    Inputs.DeterministicDistance = FDeterministicDistanceCB->isChecked();
    Inputs.GenerateForAllCaseMixTypes = FCaseMixTypeCB->isChecked();
    for (int i = 0; i < FCaseMixCLB->count(); ++i) {
        Inputs.CaseMixChecked.push_back(FCaseMixCLB->item(i)->checkState() == Qt::Checked);
        Inputs.CaseMixSelected.push_back(FCaseMixCLB->item(i)->isSelected());
    }
    Inputs.NumORdays.clear();
    for (const QString& Entry : Entries(FNumOperatingRoomsLB)) Inputs.NumORdays.push_back(ToModel(Entry));
    Inputs.Loads.clear();
    for (const QString& Entry : Entries(FLoadLB)) Inputs.Loads.push_back(ToModel(Entry));
    Inputs.Engine = FEngineCB->currentIndex() == 1 ? TOverlapEngine::oeSolver : TOverlapEngine::oeExact;
    Inputs.BaseDirectory = ToModel(BaseDirectory);
    Inputs.CapacityORinMinutes = FMain.CapacityORinMinutes();
    return Inputs;
}

void TBatchWindow::GoBClick() { Run(FGoB, GoCaption, false); }

void TBatchWindow::GenTheorInstBClick() { Run(FGenTheorInstB, TheoreticalCaption, true); }

void TBatchWindow::Run(QPushButton* Button, const QString& IdleCaption, bool Theoretical)
{
    if (FRunning) {
        RequestStop(false);
        return;
    }
    if (Theoretical && FMain.CapacityORinMinutes() <= 0) {
        ShowMessageBox(this, TBoxKind::Error, "Error! The closing time of the ORs must lie after the opening time.");
        return;
    }
    FRunning = true;
    FStopRequested = false;
    Button->setText(StopCaption);
    SetIdleControlsEnabled(false);
    (Button == FGoB ? FGenTheorInstB : FGoB)->setEnabled(false);
    FProgressShown = false;
    const TRunFiles Before = ScanRunFiles(ToModel(BaseDirectory));
    QElapsedTimer Clock;
    Clock.start();
    TBatchResult Result;
    bool Failed = false;
    try {
        TBatchInputs RunInputs = Inputs();
        // A run never mixes its files with those of an earlier run: the user decides whether
        // the earlier files go (nothing has been generated or written when this is asked).
        for (;;) {
            try {
                if (Theoretical)
                    Result = GenerateTheoreticalBatch(FMain.Data(), RunInputs, *this);
                else
                    Result = GenerateBatch(FMain.Data(), RunInputs, *this);
                break;
            } catch (const EEarlierRunFiles& Earlier) {
                if (RunInputs.Overwrite || !AskYesNo(this, EarlierRunQuestion(Earlier))) {
                    AddMessage("Run not started: " + Earlier.Directory + " holds files of an earlier run.");
                    break;
                }
                RunInputs.Overwrite = true;
            }
        }
    } catch (const std::exception& Error) {
        // A stop that reached the overlap engine may end the run with the engine's exception.
        if (FStopRequested) {
            Result.Interrupted = true;
        } else {
            Failed = true;
            ShowMessageBox(this, TBoxKind::Error, FromModel(Error.what()));
        }
    }
    // A run that got past its input checks says what it left on disk.
    if (FProgressShown) {
        const TRunCounts Counts = CountRunFiles(Before, ScanRunFiles(ToModel(BaseDirectory)));
        const QString Outcome = Failed ? "Run ended with an error" : Result.Interrupted ? "Run stopped" : "Run finished";
        AddMessage(ToModel(QString("%1: %2 instances written, %3 kept, %4 marked REMOVE_, %5 reports written, %6 s.")
                               .arg(Outcome)
                               .arg(Counts.Kept + Counts.Marked)
                               .arg(Counts.Kept)
                               .arg(Counts.Marked)
                               .arg(Counts.Reports)
                               .arg(FromModel(FormatFixedLocale(static_cast<double>(Clock.elapsed()) / 1000, 1)))));
    }
    FGauge1->setVisible(false);
    Button->setText(IdleCaption);
    SetIdleControlsEnabled(true);
    FGoB->setEnabled(true);
    FGenTheorInstB->setEnabled(true);
    FRunning = false;
    if (FCloseAfterRun) accept();
}

void TBatchWindow::SetIdleControlsEnabled(bool Enabled)
{
    for (QWidget* Control : FIdleControls) Control->setEnabled(Enabled);
}

void TBatchWindow::LoadCaseMixBClick()
{
    TFileDialogRequest Request;
    Request.Caption = "Load case mix from file";
    Request.Directory = FMain.ProgramDirectory() + "casemixes/";
    Request.Filter = TextFileFilter;
    Request.DefaultSuffix = "txt";
    const QString FileName = RunFileDialog(this, Request);
    if (FileName.isEmpty()) return;
    try {
        if (!FMain.AddCaseMixFromFile(FileName)) return;
    } catch (const std::exception& Error) {
        ShowMessageBox(this, TBoxKind::Error, FromModel(Error.what()));
        return;
    }
    AddCaseMixEntry(*FMain.Data().CaseMixes.back());
}

void TBatchWindow::AddCaseMixEntry(const TCaseMix& CaseMix)
{
    auto* Item = new QListWidgetItem(FromModel(CaseMix.Name), FCaseMixCLB);
    Item->setFlags(Item->flags() | Qt::ItemIsUserCheckable);
    Item->setCheckState(Qt::Unchecked);
    Item->setToolTip(CaseMixToolTip(CaseMix));
}

void TBatchWindow::AddNumOpBClick()
{
    for (const std::string& Entry :
         IntegerRangeEntries(ToModel(FNumOpFromE->text()), ToModel(FNumOpToE->text()), ToModel(FNumOpByE->text())))
        FNumOperatingRoomsLB->addItem(FromModel(Entry));
}

void TBatchWindow::AddLoadBClick()
{
    for (const std::string& Entry :
         DecimalRangeEntries(ToModel(FLoadFromE->text()), ToModel(FLoadToE->text()), ToModel(FLoadByE->text())))
        FLoadLB->addItem(FromModel(Entry));
}

namespace {

std::vector<std::string> ModelEntries(const QStringList& Texts)
{
    std::vector<std::string> Entries;
    for (const QString& Text : Texts) Entries.push_back(ToModel(Text));
    return Entries;
}

}  // namespace

void TBatchWindow::SortNumOp() { SetEntries(FNumOperatingRoomsLB, SortIntegerEntries(ModelEntries(Entries(FNumOperatingRoomsLB)))); }

void TBatchWindow::SortLoad() { SetEntries(FLoadLB, SortDecimalEntries(ModelEntries(Entries(FLoadLB)))); }

void TBatchWindow::RemoveDoubleNumOp()
{
    SetEntries(FNumOperatingRoomsLB, RemoveDoubleIntegerEntries(ModelEntries(Entries(FNumOperatingRoomsLB))));
}

void TBatchWindow::RemoveDoubleLoad() { SetEntries(FLoadLB, RemoveDoubleDecimalEntries(ModelEntries(Entries(FLoadLB)))); }

void TBatchWindow::RemoveThisItem(QListWidget* List)
{
    const int Row = List->currentRow();
    if (Row >= 0) delete List->takeItem(Row);
}

void TBatchWindow::SelectAllCaseMixes(bool Checked)
{
    for (int i = 0; i < FCaseMixCLB->count(); ++i)
        FCaseMixCLB->item(i)->setCheckState(Checked ? Qt::Checked : Qt::Unchecked);
}

void TBatchWindow::AddMessage(const std::string& Message) { FMessagesM->appendPlainText(FromModel(Message)); }

void TBatchWindow::ShowProgress(int Maximum)
{
    FProgressShown = true;
    FGauge1->setRange(0, Maximum);
    FGauge1->setValue(0);
    FGauge1->setVisible(true);
}

void TBatchWindow::AdvanceProgress() { FGauge1->setValue(FGauge1->value() + 1); }

void TBatchWindow::HideProgress() { FGauge1->setVisible(false); }

bool TBatchWindow::CheckPoint() { return PollStop(); }

bool TBatchWindow::StopRequested() { return FStopRequested; }

void TBatchWindow::showEvent(QShowEvent* Event)
{
    QDialog::showEvent(Event);
    if (FColumnsPlaced) return;
    FColumnsPlaced = true;
    FColumns->setSizes({190, 190, 480});
}

}  // namespace orbench::ui
