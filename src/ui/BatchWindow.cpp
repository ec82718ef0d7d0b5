#include "BatchWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
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
#include <QSettings>
#include <QSplitter>
#include <QVBoxLayout>
#include <algorithm>

#include "MainWindow.h"
#include "Model.h"
#include "NumberFormat.h"
#include "OrbenchError.h"
#include "ParameterLists.h"
#include "TextUtils.h"
#include "UiServices.h"

namespace orbench::ui {

namespace {

// Every folder the run would clear, with its count.
QString EarlierRunQuestion(const EEarlierRunFiles& Earlier)
{
    QString Folders;
    std::size_t Total = 0;
    for (const TEarlierRunFolder& Folder : Earlier.Folders) {
        const std::size_t Count = Folder.Files.size();
        Total += Count;
        Folders += QString("%1  (%2)\n")
                       .arg(FromModel(Folder.Directory))
                       .arg(Count == 1 ? QString("1 file") : QString("%1 files").arg(Count));
    }
    const bool One = Earlier.Folders.size() == 1;
    return QString(
               "%1\n%2hold%3 files of an earlier run (instance files, REMOVE_ files, reports, manifest).\n\n"
               "Delete %4 and start the run? Nothing else is touched.")
        .arg(One ? "The folder" : "The folders")
        .arg(Folders)
        .arg(One ? "s" : "")
        .arg(Total == 1 ? "it" : "them");
}

// A refused setting in the window's words: the field as it is labelled.
QString SettingMessage(const EBatchSettingError& Error)
{
    const QString Value = FromModel(Error.Value), Reason = FromModel(Error.Reason);
    switch (Error.Field) {
        case TBatchField::bfNumORdays:
            return QString("The number of OR-days %1 (list \"Number of operating rooms\") %2.").arg(Value, Reason);
        case TBatchField::bfLoads: return QString("The load %1 (list \"Load\") %2.").arg(Value, Reason);
        case TBatchField::bfDeviation:
            return QString("\"Maximum deviation from load:\" %1 (it is %2).").arg(Reason, Value);
        case TBatchField::bfEpsilon: return QString("\"Epsilon (from [0,1])\" %1 (it is %2).").arg(Reason, Value);
        case TBatchField::bfCapacity: return "Error! The closing time of the ORs must lie after the opening time.";
        case TBatchField::bfMaxDraws: break;
    }
    return FromModel(Error.what());
}

double ReadDecimalField(const QString& Text, const QString& Label)
{
    double Value = 0;
    if (!TryReadDecimalEntry(ToModel(Text), Value))
        throw EOrbenchError(ToModel("\"" + Text + "\" is not a valid number for \"" + Label + "\"."));
    return Value;
}

int ReadIntegerField(const QString& Text, const QString& Label)
{
    int Value = 0;
    if (!TryTextToInt(ToModel(Text), Value))
        throw EOrbenchError(ToModel("\"" + Text + "\" is not a valid integer for \"" + Label + "\"."));
    return Value;
}

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

// A range row: "Add" in front of from, to and by, with "to:          by:" above, and the line that
// says why the range cannot be added while it cannot.
void AddRangeRow(QWidget* Parent, QVBoxLayout* Into, QPushButton* Add, QLineEdit* From, QLineEdit* To, QLineEdit* By,
                 QLabel*& Problem, const char* ProblemName)
{
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
    Problem = new QLabel(Parent);
    Problem->setObjectName(ProblemName);
    Problem->setWordWrap(true);
    Problem->setStyleSheet("color: #b00020;");
    Problem->setVisible(false);
    Into->addWidget(Problem);
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
    BaseDirectory = Main.Folders().BatchFolder;
    BuildWindow();
    for (const auto& CaseMix : Main.Data().CaseMixes) AddCaseMixEntry(*CaseMix);
    LoadFieldSettings();
    ShowOutputFolder();
    FCheckRanges();
    // The layout needs more room than 794 x 480 with the desktop fonts of today; the output folder's
    // row takes 30 more, so that the lists and the messages keep their room.
    setFixedSize(QSize(880, 530).expandedTo(minimumSizeHint()));
}

TBatchWindow::~TBatchWindow() { SaveFieldSettings(); }

void TBatchWindow::BuildWindow()
{
    const TBatchSettings Defaults;
    auto* Layout = new QVBoxLayout(this);
    FColumns = new QSplitter(Qt::Horizontal, this);
    FColumns->setChildrenCollapsible(false);
    BuildCaseMixBox(FColumns);
    BuildNumORdaysBox(FColumns, Defaults);
    // Loads and options above the messages.
    auto* Third = new QSplitter(Qt::Vertical, FColumns);
    Third->setChildrenCollapsible(false);
    auto* Upper = new QWidget(Third);
    auto* UpperLayout = new QHBoxLayout(Upper);
    UpperLayout->setContentsMargins(0, 0, 0, 0);
    UpperLayout->addWidget(BuildLoadBox(Upper, Defaults));
    UpperLayout->addWidget(BuildOptionsBox(Upper, Defaults));
    BuildMessagesBox(Third);
    Layout->addWidget(FColumns, 1);
    Layout->addLayout(BuildOutputFolderRow());
    Layout->addLayout(BuildRunRow());

    // The ranges are checked as they are typed.
    FCheckRanges = [this] {
        const std::pair<QLabel*, QPushButton*> Rows[] = {{FNumOpProblemL, FAddNumOpB}, {FLoadProblemL, FAddLoadB}};
        const std::string Problems[] = {
            IntegerRangeProblem(ToModel(FNumOpFromE->text()), ToModel(FNumOpToE->text()), ToModel(FNumOpByE->text())),
            DecimalRangeProblem(ToModel(FLoadFromE->text()), ToModel(FLoadToE->text()), ToModel(FLoadByE->text()))};
        for (int k = 0; k < 2; ++k) {
            Rows[k].first->setText(FromModel(Problems[k]));
            Rows[k].first->setVisible(!Problems[k].empty());
            Rows[k].second->setEnabled(Problems[k].empty());
        }
    };
    for (QLineEdit* Field : {FNumOpFromE, FNumOpToE, FNumOpByE, FLoadFromE, FLoadToE, FLoadByE})
        connect(Field, &QLineEdit::textChanged, this, [this] { FCheckRanges(); });
}

QGroupBox* TBatchWindow::BuildCaseMixBox(QWidget* Parent)
{
    auto* CaseMixGB = new QGroupBox("Case mixes", Parent);
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
    FIdleControls << FCaseMixCLB << LoadCaseMixB;
    return CaseMixGB;
}

QGroupBox* TBatchWindow::BuildNumORdaysBox(QWidget* Parent, const TBatchSettings& Defaults)
{
    auto* NumOpGB = new QGroupBox("Number of operating rooms", Parent);
    auto* NumOpLayout = new QVBoxLayout(NumOpGB);
    FNumOperatingRoomsLB = NewList(NumOpGB, "NumOperatingRoomsLB");
    for (const int NumORdays : Defaults.NumORdays) FNumOperatingRoomsLB->addItem(QString::number(NumORdays));
    SetHint(FNumOperatingRoomsLB, "The numbers of OR-days of the instances, processed in this order");
    NumOpLayout->addWidget(FNumOperatingRoomsLB);
    FAddNumOpB = NewButton(NumOpGB, "AddNumOpB", "Add");
    FNumOpFromE = NewEdit(NumOpGB, "NumOpFromE", "1", 30);
    FNumOpToE = NewEdit(NumOpGB, "NumOpToE", "10", 30);
    FNumOpByE = NewEdit(NumOpGB, "NumOpByE", "1", 30);
    AddRangeRow(NumOpGB, NumOpLayout, FAddNumOpB, FNumOpFromE, FNumOpToE, FNumOpByE, FNumOpProblemL, "NumOpProblemL");
    connect(FAddNumOpB, &QPushButton::clicked, this, [this] { AddNumOpBClick(); });
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
    FIdleControls << FNumOperatingRoomsLB << FAddNumOpB << ClearNumOpB << SortNumOpB << FNumOpFromE << FNumOpToE
                  << FNumOpByE;
    return NumOpGB;
}

QGroupBox* TBatchWindow::BuildLoadBox(QWidget* Parent, const TBatchSettings& Defaults)
{
    auto* LoadGB = new QGroupBox("Load", Parent);
    auto* LoadLayout = new QVBoxLayout(LoadGB);
    FLoadLB = NewList(LoadGB, "LoadLB");
    for (const double Load : Defaults.Loads) FLoadLB->addItem(FromModel(FormatDefaultLoad(Load)));
    SetHint(FLoadLB, "The target loads of the instances, processed in ascending order");
    LoadLayout->addWidget(FLoadLB);
    FAddLoadB = NewButton(LoadGB, "AddLoadB", "Add");
    FLoadFromE = NewEdit(LoadGB, "LoadFromE", "0.8", 34);
    FLoadToE = NewEdit(LoadGB, "LoadToE", "1.2", 34);
    FLoadByE = NewEdit(LoadGB, "LoadByE", "0.1", 34);
    AddRangeRow(LoadGB, LoadLayout, FAddLoadB, FLoadFromE, FLoadToE, FLoadByE, FLoadProblemL, "LoadProblemL");
    connect(FAddLoadB, &QPushButton::clicked, this, [this] { AddLoadBClick(); });
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
    FIdleControls << FLoadLB << FAddLoadB << ClearLoadB << SortLoadB << FLoadFromE << FLoadToE << FLoadByE;
    return LoadGB;
}

QGroupBox* TBatchWindow::BuildOptionsBox(QWidget* Parent, const TBatchSettings& Defaults)
{
    auto* OptionsGB = new QGroupBox("Options", Parent);
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
    const QString EpsilonHint =
        "Surgeries are considered proximal iff their expected duration differs no more than "
        "epsilon (from [0,1], where 1 is the total OR opening time)";
    const QString SelectHint =
        "Indicate the number of instances that have minimal overlap.\nThis number must be "
        "smaller than the number of generated instances!";
    FNumInstancesPerSettingLE =
        NewEdit(OptionsGB, "NumInstancesPerSettingLE", QString::number(Defaults.NumInstancesPerLoad));
    AddLabelled(FNumInstancesPerSettingLE, "# instances per combination:",
                "Number of instances generated per case mix, number of OR-days and load", "");
    AddCheck(FSaveInstancesCB, "SaveInstancesCB", "Save instances", Defaults.SaveInstances,
             "Write every instance to its file");
    FMaxLoadDeviationLE =
        NewEdit(OptionsGB, "MaxLoadDeviationLE", FromModel(FormatGeneral(Defaults.MaxAbsDeviationFromLoad)));
    AddLabelled(FMaxLoadDeviationLE, "Maximum deviation from load:",
                "Half-width of the window around each load in which an instance is accepted", "");
    AddCheck(FAnalyzeOverlapCB, "AnalyzeOverlapCB", "Analyze overlap", Defaults.AnalyzeOverlap,
             "Check this to let the program make a report about the overlap between the instances.\nIt will generate "
             "a tab-separated table written to a file for each instance-combination.");
    FNumInstancesToSelectFromLE =
        NewEdit(OptionsGB, "NumInstancesToSelectFromLE", QString::number(Defaults.NumInstancesToSelect));
    AddLabelled(FNumInstancesToSelectFromLE, "# instances to select:", SelectHint, SelectHint.section('\n', 0, 0));
    FEpsilonLE = NewEdit(OptionsGB, "EpsilonLE", FromModel(FormatGeneral(Defaults.EpsilonDist)));
    AddLabelled(FEpsilonLE, "Epsilon (from [0,1])", EpsilonHint, EpsilonHint);
    AddCheck(FRemoveInstancesCB, "RemoveInstancesCB", "Delete other instances", Defaults.RemoveInstances,
             "Check this to keep the least overlapping instances of each combination and mark the files of the\n"
             "other instances with the prefix REMOVE_. No file is deleted: delete the REMOVE_ files yourself.");
    AddCheck(FDeterministicDistanceCB, "DeterministicDistanceCB", "Deterministic distance",
             Defaults.DeterministicDistance,
             "Deterministic: distance based on expected value. Stochastic: based on euclidean distance in case mix "
             "classification");
    AddCheck(FCaseMixTypeCB, "CaseMixTypeCB", "Generate for all case mix types", true,
             "Not used: both runs draw from every surgery type (case-mix type 0)");
    FCaseMixTypeCB->setEnabled(false);
    FEngineCB = new QComboBox(OptionsGB);
    FEngineCB->setObjectName("EngineCB");
    FEngineCB->addItems({"exact", "solver"});
    FEngineCB->setFixedWidth(80);
    SetHint(FEngineCB, "exact: combinatorial algorithms (fast); solver: the LP/MIP models solved with CLP and CBC");
    Options->addRow(new QLabel("Engine:", OptionsGB), FEngineCB);
    FIdleControls << OptionsGB;
    return OptionsGB;
}

QGroupBox* TBatchWindow::BuildMessagesBox(QWidget* Parent)
{
    auto* MessagesGB = new QGroupBox("Messages", Parent);
    auto* MessagesLayout = new QVBoxLayout(MessagesGB);
    FMessagesM = new QPlainTextEdit(MessagesGB);
    FMessagesM->setObjectName("MessagesM");
    FMessagesM->setReadOnly(true);
    FMessagesM->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    FMessagesM->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MessagesLayout->addWidget(FMessagesM);
    return MessagesGB;
}

QHBoxLayout* TBatchWindow::BuildOutputFolderRow()
{
    // The output folder takes the window's width, so that a long path can be read.
    auto* FolderRow = new QHBoxLayout();
    auto* OutputFolderL = new QLabel("Output folder:", this);
    FOutputFolderLE = NewEdit(this, "OutputFolderLE", BaseDirectory);
    FOutputFolderLE->setReadOnly(true);
    OutputFolderL->setBuddy(FOutputFolderLE);
    const QString FolderHint =
        "The folder the runs write into: a folder per case mix with its instances, reports and "
        "manifest";
    SetHint(OutputFolderL, FolderHint);
    SetHint(FOutputFolderLE, FolderHint);
    auto* ChangeOutputFolderB = NewButton(this, "ChangeOutputFolderB", "Change...");
    ChangeOutputFolderB->setAutoDefault(false);
    SetHint(ChangeOutputFolderB, "Choose another folder for the runs to write into");
    FolderRow->addWidget(OutputFolderL);
    FolderRow->addWidget(FOutputFolderLE, 1);
    FolderRow->addWidget(ChangeOutputFolderB);
    connect(ChangeOutputFolderB, &QPushButton::clicked, this, [this] { ChangeOutputFolderBClick(); });
    FIdleControls << ChangeOutputFolderB;
    return FolderRow;
}

QHBoxLayout* TBatchWindow::BuildRunRow()
{
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
    connect(FGoB, &QPushButton::clicked, this, [this] { GoBClick(); });
    connect(FGenTheorInstB, &QPushButton::clicked, this, [this] { GenTheorInstBClick(); });
    return Bottom;
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

bool TBatchWindow::ReadSettings(TBatchSettings& Settings, bool Theoretical)
{
    if (!TryTextToInt(ToModel(FNumInstancesPerSettingLE->text()), Settings.NumInstancesPerLoad)) {
        AddMessage("The number of instances has to be integer. Aborting.");
        return false;
    }
    if (!Theoretical && FCaseMixCLB->selectedItems().isEmpty()) {
        AddMessage("No case mix selected. Aborting.");
        return false;
    }
    Settings.SaveInstances = FSaveInstancesCB->isChecked();
    Settings.Loads.clear();
    for (const QString& Entry : Entries(FLoadLB)) Settings.Loads.push_back(ReadDecimalField(Entry, "Load"));
    Settings.MaxAbsDeviationFromLoad = ReadDecimalField(FMaxLoadDeviationLE->text(), "Maximum deviation from load:");
    Settings.EpsilonDist = ReadDecimalField(FEpsilonLE->text(), "Epsilon (from [0,1])");
    Settings.NumInstancesToSelect = ReadIntegerField(FNumInstancesToSelectFromLE->text(), "# instances to select:");
    Settings.NumORdays.clear();
    for (const QString& Entry : Entries(FNumOperatingRoomsLB))
        Settings.NumORdays.push_back(ReadIntegerField(Entry, "Number of operating rooms"));
    Settings.AnalyzeOverlap = FAnalyzeOverlapCB->isChecked();
    Settings.RemoveInstances = FRemoveInstancesCB->isChecked();
    Settings.DeterministicDistance = FDeterministicDistanceCB->isChecked();
    Settings.Engine = FEngineCB->currentIndex() == 1 ? TOverlapEngine::oeSolver : TOverlapEngine::oeExact;
    if (!BaseDirectory.endsWith('/')) BaseDirectory += '/';
    ShowOutputFolder();  // the folder the run writes into
    Settings.BaseDirectory = ToModel(BaseDirectory);
    Settings.CapacityORinMinutes = FMain.CapacityORinMinutes();
    return true;
}

std::vector<TCaseMix*> TBatchWindow::CheckedCaseMixes() const
{
    std::vector<TCaseMix*> CaseMixes;
    const auto& All = FMain.Data().CaseMixes;
    for (int i = 0; i < FCaseMixCLB->count() && static_cast<std::size_t>(i) < All.size(); ++i)
        if (FCaseMixCLB->item(i)->checkState() == Qt::Checked)
            CaseMixes.push_back(All[static_cast<std::size_t>(i)].get());
    return CaseMixes;
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
        ShowMessageBox(this, TBoxKind::bkError, "Error! The closing time of the ORs must lie after the opening time.");
        return;
    }
    TBatchSettings Settings;
    try {
        if (!ReadSettings(Settings, Theoretical)) return;
    } catch (const std::exception& Error) {
        ShowMessageBox(this, TBoxKind::bkError, FromModel(Error.what()));
        return;
    }
    SaveFieldSettings();
    FRunning = true;
    FStopRequested = false;
    Button->setText(StopCaption);
    SetIdleControlsEnabled(false);
    (Button == FGoB ? FGenTheorInstB : FGoB)->setEnabled(false);
    try {
        // A run never mixes its files with those of an earlier run: the user decides whether
        // the earlier files go (nothing has been generated or written when this is asked).
        for (;;) {
            try {
                if (Theoretical)
                    GenerateTheoreticalBatch(FMain.Data(), Settings, *this);
                else
                    GenerateBatch(FMain.Data(), CheckedCaseMixes(), Settings, *this);
                break;
            } catch (const EEarlierRunFiles& Earlier) {
                if (Settings.Overwrite || !AskYesNo(this, EarlierRunQuestion(Earlier))) {
                    std::string Folders;
                    for (const TEarlierRunFolder& Folder : Earlier.Folders)
                        Folders += (Folders.empty() ? "" : ", ") + Folder.Directory;
                    AddMessage("Run not started: " + Folders + " hold" + (Earlier.Folders.size() == 1 ? "s" : "") +
                               " files of an earlier run.");
                    break;
                }
                Settings.Overwrite = true;
            }
        }
    } catch (const EBatchSettingError& Error) {
        ShowMessageBox(this, TBoxKind::bkError, SettingMessage(Error));
    } catch (const std::exception& Error) {
        // A stop that reached the overlap engine may end the run with the engine's exception.
        if (!FStopRequested) ShowMessageBox(this, TBoxKind::bkError, FromModel(Error.what()));
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
    if (Enabled && FCheckRanges) FCheckRanges();  // an "Add" of a range that cannot be added stays off
}

void TBatchWindow::LoadCaseMixBClick()
{
    TFileDialogRequest Request;
    Request.Caption = "Load case mix from file";
    Request.Directory = FMain.Folders().UserCaseMixFolder;
    Request.Filter = TextFileFilter;
    Request.DefaultSuffix = "txt";
    const QString FileName = RunFileDialog(this, Request);
    if (FileName.isEmpty()) return;
    try {
        if (!FMain.AddCaseMixFromFile(FileName)) return;
    } catch (const std::exception& Error) {
        ShowMessageBox(this, TBoxKind::bkError, FromModel(Error.what()));
        return;
    }
    AddCaseMixEntry(*FMain.Data().CaseMixes.back());
}

void TBatchWindow::ChangeOutputFolderBClick()
{
    if (FRunning) return;
    TFileDialogRequest Request;
    Request.Folder = true;
    Request.Caption = "Output folder of the runs";
    Request.Directory = BaseDirectory;
    const QString Chosen = RunFileDialog(this, Request);
    if (Chosen.isEmpty()) return;
    BaseDirectory = QDir::cleanPath(QDir(Chosen).absolutePath());
    if (!BaseDirectory.endsWith('/')) BaseDirectory += '/';
    ShowOutputFolder();
}

void TBatchWindow::ShowOutputFolder()
{
    FOutputFolderLE->setText(BaseDirectory);
    FOutputFolderLE->setCursorPosition(0);
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

void TBatchWindow::SortNumOp()
{
    SetEntries(FNumOperatingRoomsLB, SortIntegerEntries(ModelEntries(Entries(FNumOperatingRoomsLB))));
}

void TBatchWindow::SortLoad() { SetEntries(FLoadLB, SortDecimalEntries(ModelEntries(Entries(FLoadLB)))); }

void TBatchWindow::RemoveDoubleNumOp()
{
    SetEntries(FNumOperatingRoomsLB, RemoveDoubleIntegerEntries(ModelEntries(Entries(FNumOperatingRoomsLB))));
}

void TBatchWindow::RemoveDoubleLoad()
{
    SetEntries(FLoadLB, RemoveDoubleDecimalEntries(ModelEntries(Entries(FLoadLB))));
}

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
    FGauge1->setRange(0, Maximum);
    FGauge1->setValue(0);
    FGauge1->setVisible(true);
}

void TBatchWindow::AdvanceProgress() { FGauge1->setValue(FGauge1->value() + 1); }

void TBatchWindow::HideProgress() { FGauge1->setVisible(false); }

bool TBatchWindow::CheckPoint() { return PollStop(); }

bool TBatchWindow::StopRequested() { return FStopRequested; }

std::string TBatchWindow::DrawLimitAdvice() const
{
    return "widen the window around the loads with \"Maximum deviation from load:\" (orbench-cli batch also takes "
           "--max-draws)";
}

void TBatchWindow::RunEnded(const TBatchResult& Result) { AddMessage(RunSummary(Result)); }

namespace {

const char* const SettingsGroup = "BatchWindow";

void SaveList(QSettings& Store, const char* Key, const QStringList& Texts) { Store.setValue(Key, Texts); }

}  // namespace

void TBatchWindow::SaveFieldSettings() const
{
    QSettings Store;
    Store.beginGroup(SettingsGroup);
    for (const QLineEdit* Edit : {FNumInstancesPerSettingLE, FMaxLoadDeviationLE, FNumInstancesToSelectFromLE,
                                  FEpsilonLE, FNumOpFromE, FNumOpToE, FNumOpByE, FLoadFromE, FLoadToE, FLoadByE})
        Store.setValue(Edit->objectName(), Edit->text());
    for (const QCheckBox* Box : {FSaveInstancesCB, FAnalyzeOverlapCB, FRemoveInstancesCB, FDeterministicDistanceCB})
        Store.setValue(Box->objectName(), Box->isChecked());
    Store.setValue(FEngineCB->objectName(), FEngineCB->currentText());
    SaveList(Store, "NumOperatingRoomsLB", Entries(FNumOperatingRoomsLB));
    SaveList(Store, "LoadLB", Entries(FLoadLB));
    QStringList Checked;
    for (int i = 0; i < FCaseMixCLB->count(); ++i)
        if (FCaseMixCLB->item(i)->checkState() == Qt::Checked) Checked << FCaseMixCLB->item(i)->text();
    SaveList(Store, "CheckedCaseMixes", Checked);
    // A folder of the user's choice only: the default follows the program's place (a build tree or
    // an installation).
    if (BaseDirectory != FMain.Folders().BatchFolder)
        Store.setValue(FOutputFolderLE->objectName(), BaseDirectory);
    else
        Store.remove(FOutputFolderLE->objectName());
}

void TBatchWindow::LoadFieldSettings()
{
    QSettings Store;
    Store.beginGroup(SettingsGroup);
    for (QLineEdit* Edit : {FNumInstancesPerSettingLE, FMaxLoadDeviationLE, FNumInstancesToSelectFromLE, FEpsilonLE,
                            FNumOpFromE, FNumOpToE, FNumOpByE, FLoadFromE, FLoadToE, FLoadByE})
        if (Store.contains(Edit->objectName())) Edit->setText(Store.value(Edit->objectName()).toString());
    for (QCheckBox* Box : {FSaveInstancesCB, FAnalyzeOverlapCB, FRemoveInstancesCB, FDeterministicDistanceCB})
        if (Store.contains(Box->objectName())) Box->setChecked(Store.value(Box->objectName()).toBool());
    const int Engine = FEngineCB->findText(Store.value(FEngineCB->objectName()).toString());
    if (Engine >= 0) FEngineCB->setCurrentIndex(Engine);
    for (QListWidget* List : {FNumOperatingRoomsLB, FLoadLB}) {
        if (!Store.contains(List->objectName())) continue;
        List->clear();
        List->addItems(Store.value(List->objectName()).toStringList());
    }
    const QStringList Checked = Store.value("CheckedCaseMixes").toStringList();
    for (int i = 0; i < FCaseMixCLB->count(); ++i)
        if (Checked.contains(FCaseMixCLB->item(i)->text())) FCaseMixCLB->item(i)->setCheckState(Qt::Checked);
    if (const QString Folder = Store.value(FOutputFolderLE->objectName()).toString(); !Folder.isEmpty())
        BaseDirectory = Folder.endsWith('/') ? Folder : Folder + '/';
}

void TBatchWindow::showEvent(QShowEvent* Event)
{
    QDialog::showEvent(Event);
    if (FColumnsPlaced) return;
    FColumnsPlaced = true;
    FColumns->setSizes({190, 190, 480});
}

}  // namespace orbench::ui
