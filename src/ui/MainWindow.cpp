#include "MainWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "BatchWindow.h"
#include "FileUtils.h"
#include "InstanceFill.h"
#include "Model.h"
#include "NumberFormat.h"
#include "OrbenchError.h"
#include "OverlapWindow.h"
#include "PictureFiles.h"
#include "ProgramVersion.h"
#include "SurgeryChart.h"
#include "SurgeryInfoDialog.h"
#include "TextUtils.h"

namespace orbench::ui {

namespace {

// The case-mix selector's hint, which says where the case mixes come from. The first line is what
// the status bar shows: a whole sentence that fits.
QString CaseMixHint(const TProgramFolders& Folders)
{
    QString Where =
        "Case mixes are automatically read from the program subdir \"casemixes\". It reads all files with the\r\n"
        "\".txt\" extension from this directory.\r\n";
    if (Folders.Installed && Folders.CaseMixFolders.size() == 2)
        Where = QString(
                    "Case mixes are automatically read from the shared folder \"%1\",\r\n"
                    "then from your own folder \"%2\",\r\n"
                    "where \"Save case mix\" proposes to save them. It reads all files with the \".txt\"\r\n"
                    "extension from these folders; a case mix of yours with the name of a shared one is listed\r\n"
                    "after it.\r\n")
                    .arg(QDir::cleanPath(Folders.CaseMixFolders[0]), QDir::cleanPath(Folders.CaseMixFolders[1]));
    return "Select a case mix for which to generate instances.\r\n" + Where +
           "\r\n"
           "In addition you may also select a case mix type, using the other dropdown-list on this screen. \r\n"
           "Selecting a case mix type allows you to consider only a subset of the surgery types of the \r\n"
           "case mix.";
}
const char* const NoGeneratedLoad = "The generated load is: \u2013";
const char* const CapacityError = "Error! The closing time of the ORs must lie after the opening time.";
const char* const InstanceNumberError = "Error. Please indicate an integer instance number (0,1...).";

// Signals of a selector are held while it is changed from code, which runs no change handler.
class TQuiet {
public:
    explicit TQuiet(QObject* Object) : FObject(Object), FOld(Object->blockSignals(true)) {}
    ~TQuiet() { FObject->blockSignals(FOld); }
    TQuiet(const TQuiet&) = delete;
    TQuiet& operator=(const TQuiet&) = delete;

private:
    QObject* FObject;
    bool FOld;
};

// The load of every instance of CaseMix with a surgery of Type, added up again as generation adds
// it: surgery by surgery, (1440 / c) * Expected / NumberOfORs with the case mix's capacity c.
void RecomputeLoads(TCaseMix& CaseMix, const TSurgeryType& Type)
{
    for (TInstance* Instance : CaseMix.Instances) {
        const auto& Surgeries = Instance->Surgeries;
        if (std::none_of(Surgeries.begin(), Surgeries.end(),
                         [&Type](const auto& S) { return S->SurgeryType == &Type; }))
            continue;
        double Load = 0;
        for (const auto& Surgery : Surgeries)
            Load += (1440 / CaseMix.CapacityORinMinutes) * Surgery->SurgeryType->Distribution->Expected /
                    Instance->NumberOfORs;
        Instance->Load = Load;
    }
}

QPixmap DecorativePicture()
{
    QPixmap Picture(120, 120);
    Picture.fill(Qt::transparent);
    QPainter Painter(&Picture);
    Painter.setRenderHint(QPainter::Antialiasing);
    Painter.setPen(QPen(QColor(120, 120, 120), 1));
    Painter.setBrush(QColor(245, 245, 245));
    Painter.drawRoundedRect(QRectF(2, 2, 116, 116), 10, 10);
    Painter.setBrush(QColor(200, 200, 200));
    Painter.setPen(Qt::NoPen);
    Painter.drawPolygon(QPolygonF({QPointF(14, 106), QPointF(106, 14), QPointF(106, 106)}));
    const QPointF Points[] = {{30, 80}, {42, 62}, {55, 88}, {64, 50}, {78, 70}, {88, 40}, {36, 40}, {70, 90}};
    Painter.setBrush(QColor(30, 70, 200));
    for (const QPointF& P : Points) Painter.drawRect(QRectF(P.x() - 3, P.y() - 3, 6, 6));
    Painter.setBrush(QColor(243, 156, 53));
    Painter.drawEllipse(QPointF(58, 65), 6, 6);
    return Picture;
}

}  // namespace

TMainWindow::TMainWindow(TData& Data, const QString& ProgramDirectory, QWidget* Parent)
    : QMainWindow(Parent),
      FData(Data),
      FProgramDirectory(ProgramDirectory),
      FFolders(FindProgramFolders(ProgramDirectory)),
      FNotifier(this),
      FOldNotifier(Data.Notifier)
{
    if (!FProgramDirectory.endsWith('/')) FProgramDirectory += '/';
    FData.Notifier = &FNotifier;
    setObjectName("Form1");
    setWindowTitle("Orbench");
    BuildWindow();
    BuildMenu();
    OpenBatchWindow = [](TMainWindow& Window) {
        TBatchWindow Batch(Window);
        Batch.exec();
    };
    OpenOverlapWindow = [](TMainWindow& Window) {
        TOverlapWindow Overlap(Window);
        Overlap.exec();
    };

    // FormCreate: the default load, the region of type 0, then the case mixes of the case-mix folders.
    FLoadLE->setText(FromModel(FormatGeneral(0.8)));
    ValidateInputFields();
    FCaseMixTypeCB->setCurrentIndex(0);
    FChart->DrawCaseMixImage(0);
    ReadCaseMixDirectory();

    adjustSize();
    setMinimumSize(sizeHint());  // it can grow, the chart taking the room
    if (const QScreen* Screen = QGuiApplication::primaryScreen())
        move(Screen->availableGeometry().center() - rect().center());
}

TMainWindow::~TMainWindow() { FData.Notifier = FOldNotifier; }

void TMainWindow::BuildWindow()
{
    auto* Central = new QWidget(this);
    auto* Columns = new QHBoxLayout(Central);
    Columns->addWidget(BuildChart(Central), 1);
    Columns->addWidget(BuildInstancePanel(Central));
    Columns->addWidget(BuildCaseMixPanel(Central));
    setCentralWidget(Central);
    for (QLineEdit* Field : {FNumORDaysLE, FLoadLE})
        connect(Field, &QLineEdit::textChanged, this, [this] { ValidateInputFields(); });
    // A drop-down used with the mouse never gets the leave that would take its hint off the status
    // bar, which would then hide "Case mix: ..." until the mouse enters another control.
    for (QComboBox* Combo : Central->findChildren<QComboBox*>())
        connect(Combo, &QComboBox::activated, statusBar(), &QStatusBar::clearMessage);
    FStatusL = new QLabel(statusBar());
    FStatusL->setObjectName("StatusBarPanel");
    statusBar()->addWidget(FStatusL, 1);
    statusBar()->setSizeGripEnabled(false);
}

// The chart of the plane, with the surgeries and centre of mass of the instance shown.
TSurgeryChart* TMainWindow::BuildChart(QWidget* Parent)
{
    FChart = new TSurgeryChart(Parent);
    FChart->setMinimumSize(500, 500);
    FChart->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    connect(FChart, &TSurgeryChart::SurgeryClicked, this, &TMainWindow::SurgeryClicked);
    connect(FChart, &TSurgeryChart::CenterOfMassClicked, this, [this](QPointF Point) {
        ShowMessageBox(this, TBoxKind::bkInformation,
                       "Center of mass X: " + FromModel(FormatFixedLocale(Point.x(), 4)) +
                           "\rCenter of mass Y: " + FromModel(FormatFixedLocale(Point.y(), 4)));
    });
    return FChart;
}

// The middle panel: the OR-day, the load, the case-mix type and the instance shown.
QWidget* TMainWindow::BuildInstancePanel(QWidget* Parent)
{
    auto* Middle = new QWidget(Parent);
    auto* MiddleLayout = new QVBoxLayout(Middle);
    QStringList HalfHours;
    for (int k = 0; k < 48; ++k) HalfHours << QString("%1:%2").arg(k / 2).arg(k % 2 == 0 ? "00" : "30");
    auto AddLabelled = [&](const QString& Caption, QWidget* Field) {
        auto* Label = new QLabel(Caption, Middle);
        Label->setBuddy(Field);
        MiddleLayout->addWidget(Label);
        MiddleLayout->addWidget(Field);
    };
    FORopenCB = new QComboBox(Middle);
    FORopenCB->setObjectName("ORopenCB");
    FORopenCB->addItems(HalfHours);
    FORopenCB->setCurrentIndex(15);
    SetHint(FORopenCB, "Opening time of the ORs");
    AddLabelled("OR opens at:", FORopenCB);
    FORCloseCB = new QComboBox(Middle);
    FORCloseCB->setObjectName("ORCloseCB");
    FORCloseCB->addItems(HalfHours);
    FORCloseCB->setCurrentIndex(31);
    SetHint(FORCloseCB, "Closing time of the ORs");
    AddLabelled("OR closes at:", FORCloseCB);
    FNumORDaysLE = new QLineEdit("10", Middle);
    FNumORDaysLE->setObjectName("NumORDaysLE");
    FNumORDaysLE->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), FNumORDaysLE));
    SetHint(FNumORDaysLE, "Number of OR-days an instance fills");
    AddLabelled("Number of OR-days:", FNumORDaysLE);
    FLoadLE = new QLineEdit(Middle);
    FLoadLE->setObjectName("LoadLE");
    SetHint(FLoadLE, "Desired load: expected work over the capacity of the OR-days");
    AddLabelled("Load:", FLoadLE);
    FInputProblemL = new QLabel(Middle);
    FInputProblemL->setObjectName("InputProblemL");
    FInputProblemL->setWordWrap(true);
    FInputProblemL->setStyleSheet("color: #b00020;");
    FInputProblemL->setVisible(false);
    MiddleLayout->addWidget(FInputProblemL);
    FGenLoadT = new QLabel(NoGeneratedLoad, Middle);
    FGenLoadT->setObjectName("GenLoadT");
    // Room for a load with two digits before and four after the separator.
    FGenLoadT->setMinimumWidth(FGenLoadT->fontMetrics().horizontalAdvance("The generated load is: 00.0000") + 2);
    MiddleLayout->addWidget(FGenLoadT);
    FCaseMixTypeCB = new QComboBox(Middle);
    FCaseMixTypeCB->setObjectName("CaseMixTypeCB");
    FCaseMixTypeCB->setIconSize(QSize(36, 36));
    for (int t = 0; t < NumCaseMixTypes; ++t) FCaseMixTypeCB->addItem(QIcon(CaseMixTypePicture(t)), QString::number(t));
    SetHint(FCaseMixTypeCB, "Case-mix type: only the surgery types in the white region are drawn");
    AddLabelled("Case mix type:", FCaseMixTypeCB);
    connect(FCaseMixTypeCB, &QComboBox::currentIndexChanged, this, [this] { CaseMixTypeCBChange(); });
    MiddleLayout->addStretch(1);
    FShowInstanceNrCB = new QComboBox(Middle);
    FShowInstanceNrCB->setObjectName("ShowInstanceNrCB");
    SetHint(FShowInstanceNrCB, "The instance shown on the chart");
    AddLabelled("Show instance:", FShowInstanceNrCB);
    connect(FShowInstanceNrCB, &QComboBox::currentIndexChanged, this, [this] { ShowSelectedInstance(); });
    FSaveB = new QPushButton("&Save instance", Middle);
    FSaveB->setObjectName("SaveB");
    SetHint(FSaveB, "Save the instance shown to a file");
    MiddleLayout->addWidget(FSaveB);
    connect(FSaveB, &QPushButton::clicked, this, [this] { SaveBClick(); });
    const QMargins Margins = MiddleLayout->contentsMargins();
    Middle->setFixedWidth(std::max(190, FGenLoadT->minimumWidth() + Margins.left() + Margins.right()));
    return Middle;
}

// The right column: case mixes and generation.
QWidget* TMainWindow::BuildCaseMixPanel(QWidget* Parent)
{
    auto* Right = new QWidget(Parent);
    auto* RightLayout = new QVBoxLayout(Right);
    auto* CaseMixL = new QLabel("Select case mix:", Right);
    CaseMixL->setObjectName("CaseMixL");
    SetHint(CaseMixL, CaseMixHint(FFolders).section("\r\n", 0, 0));
    RightLayout->addWidget(CaseMixL);
    FCaseMixCB = new QComboBox(Right);
    FCaseMixCB->setObjectName("CaseMixCB");
    FCaseMixCB->setMinimumWidth(190);
    SetHint(FCaseMixCB, CaseMixHint(FFolders));
    RightLayout->addWidget(FCaseMixCB);
    connect(FCaseMixCB, &QComboBox::currentIndexChanged, this, [this] { CaseMixCBChange(); });
    auto AddButton = [&](QPushButton*& Button, const char* Name, const QString& Caption, const QString& Hint,
                         void (TMainWindow::*Handler)()) {
        Button = new QPushButton(Caption, Right);
        Button->setObjectName(Name);
        SetHint(Button, Hint);
        RightLayout->addWidget(Button);
        connect(Button, &QPushButton::clicked, this, [this, Handler] { (this->*Handler)(); });
    };
    AddButton(FLoadCaseMixB, "LoadCaseMixB", "Add &case mix from file", "Add an additional case mix from file",
              &TMainWindow::LoadCaseMixBClick);
    AddButton(FGenerateTheoreticalCaseMixB, "GenerateTheoreticalCaseMixB", "Generate theoretical case mix",
              "Generate a theoretical case mix and add it", &TMainWindow::GenerateTheoreticalCaseMixBClick);
    AddButton(FSaveCaseMixB, "SaveCaseMixB", "Save case &mix to file",
              "Save the selected case mix (only the surgery types of the selected case-mix type)",
              &TMainWindow::SaveCaseMixBClick);
    RightLayout->addSpacing(12);
    AddButton(FGenerateInstanceB, "GenerateInstanceB", "&Generate instance(s)", "Generate \"#instances\"",
              &TMainWindow::GenerateInstanceBClick);
    auto* CountRow = new QHBoxLayout();
    auto* CountLabel = new QLabel("# instances:", Right);
    FNumInstancesSE = new QSpinBox(Right);
    FNumInstancesSE->setObjectName("NumInstancesSE");
    FNumInstancesSE->setRange(1, 1000);
    FNumInstancesSE->setValue(1);
    SetHint(FNumInstancesSE, "Number of instances \"Generate instance(s)\" makes");
    CountLabel->setBuddy(FNumInstancesSE);
    CountRow->addWidget(CountLabel);
    CountRow->addWidget(FNumInstancesSE);
    RightLayout->addLayout(CountRow);
    RightLayout->addSpacing(12);
    AddButton(FGenerateXInstancesB, "GenerateXInstancesB", "Generate &X instances",
              "Generate instances for many case mixes, numbers of OR-days and loads",
              &TMainWindow::GenerateXInstancesBClick);
    AddButton(FButton3, "Button3", "Min. &overlap betw. instances",
              "Analyse the overlap of the instances of the selected case mix", &TMainWindow::MinOverlapBClick);
    RightLayout->addStretch(1);
    auto* Picture = new QLabel(Right);
    Picture->setObjectName("Image1");
    Picture->setPixmap(DecorativePicture());
    Picture->setAlignment(Qt::AlignCenter);
    RightLayout->addWidget(Picture);
    Right->setFixedWidth(220);
    return Right;
}

void TMainWindow::BuildMenu()
{
    QMenu* File = menuBar()->addMenu("&File");
    File->setObjectName("FileMI");
    auto Add = [&](QMenu* Menu, const char* Name, const QString& Caption, const QKeySequence& Keys,
                   const std::function<void()>& Handler) {
        QAction* Action = Menu->addAction(Caption);
        Action->setObjectName(Name);
        Action->setShortcut(Keys);
        connect(Action, &QAction::triggered, this, Handler);
        return Action;
    };
    Add(File, "GenerateInstanceMI", "&Generate instance", QKeySequence("Ctrl+G"), [this] { GenerateInstanceBClick(); });
    Add(File, "LoadInstanceMI", "&Load instance", QKeySequence("Ctrl+L"), [this] { LoadInstanceBClick(); });
    Add(File, "SaveInstanceMI", "&Save instance", QKeySequence("Ctrl+S"), [this] { SaveBClick(); });
    Add(File, "SaveChartPictureMI", "Save chart as &picture...", QKeySequence(), [this] { SaveChartPictureMIClick(); });
    File->addSeparator();
    Add(File, "CloseMI", "&Close", QKeySequence("Ctrl+X"), [this] { close(); });
    QAction* About = menuBar()->addAction("&About");
    About->setObjectName("AboutMI");
    connect(About, &QAction::triggered, this, [this] { AboutMIClick(); });
}

void TMainWindow::ReadCaseMixDirectory()
{
    // Installed, the shared folder is there and the user's own was made when it was found missing.
    if (!FFolders.Installed && !QDir(FFolders.CaseMixFolders.front()).exists()) {
        ShowMessageBox(this, TBoxKind::bkError,
                       "Error: cannot locate the subdirectory \"casemixes\".\r\nDirectory created. No case mix types "
                       "were read.");
        QDir().mkpath(FFolders.CaseMixFolders.front());
    }
    // The folders in order, the files of each in name order; reading stops at the first bad file. A
    // case mix of the user's with the name of a shared one is listed after it, as two case mixes
    // of one name always are (their entries' tool tips tell them apart).
    FReadingCaseMixDirectory = true;
    try {
        for (const QString& Dir : FFolders.CaseMixFolders)
            for (const std::string& File : ListCaseMixFiles(ToModel(Dir))) AddCaseMixFromFile(FromModel(File));
    } catch (const std::exception& Error) {
        FReadingCaseMixDirectory = false;
        ShowMessageBox(this, TBoxKind::bkError, FromModel(Error.what()));
        return;
    }
    FReadingCaseMixDirectory = false;
    ShowCaseMixName();
}

void TMainWindow::ShowCaseMixName() { FStatusL->setText("Case mix: " + FCaseMixCB->currentText()); }

void TMainWindow::ShowAddedCaseMix()
{
    RefillInstanceSelector();
    ShowCaseMixName();
}

double TMainWindow::CapacityORinMinutes() const
{
    return static_cast<double>((FORCloseCB->currentIndex() - FORopenCB->currentIndex()) * 30);
}

bool TMainWindow::CapacityIsValid()
{
    if (CapacityORinMinutes() > 0) return true;
    ShowMessageBox(this, TBoxKind::bkError, CapacityError);
    return false;
}

TCaseMix* TMainWindow::SelectedCaseMix() const
{
    const int Index = FCaseMixCB->currentIndex();
    if (Index < 0 || Index >= static_cast<int>(FData.CaseMixes.size())) return nullptr;
    return FData.CaseMixes[static_cast<std::size_t>(Index)].get();
}

int TMainWindow::SelectedCaseMixIndex() const { return FCaseMixCB->currentIndex(); }

QString TMainWindow::StatusText() const
{
    const QString Hint = statusBar()->currentMessage();
    return Hint.isEmpty() ? FStatusL->text() : Hint;
}

void TMainWindow::RunCommand(const std::function<void()>& Command)
{
    try {
        Command();
    } catch (const std::exception& Error) {
        ShowMessageBox(this, TBoxKind::bkError, FromModel(Error.what()));
    }
}

bool TMainWindow::AddCaseMixFromFile(const QString& FileName)
{
    TBusyCursor Busy;
    const double Capacity = CapacityORinMinutes();
    if (Capacity <= 0) throw EOrbenchError(CapacityError);
    const std::size_t Before = FData.CaseMixes.size();
    FData.ReadAndAddCaseMix(ToModel(FileName), Capacity);
    if (FData.CaseMixes.size() == Before) return false;
    {
        const TQuiet Quiet(FCaseMixCB);
        const TCaseMix& Added = *FData.CaseMixes.back();
        FCaseMixCB->addItem(FromModel(Added.Name));
        FCaseMixCB->setItemData(FCaseMixCB->count() - 1, CaseMixToolTip(Added), Qt::ToolTipRole);
        FCaseMixCB->setCurrentIndex(FCaseMixCB->count() - 1);
    }
    if (!FReadingCaseMixDirectory) ShowAddedCaseMix();
    return true;
}

bool TMainWindow::CheckInputFields()
{
    struct TCheck {
        QWidget* Field;
        const char* Message;
        const char* Reset;
    };
    bool AllPass = true;
    const TCheck Checks[] = {
        {FORopenCB, "Error! Enter a valid value for the openings time of the ORs.", "7:30"},
        {FORCloseCB, "Error! Enter a valid value for the closing time of the ORs.", "15:30"},
        {FNumORDaysLE, "Error! Enter a valid value for the number of ORs per day.", "1"},
        {FLoadLE, "Error! Enter a valid value for the desired load of the system.", "1"},
    };
    for (const TCheck& Check : Checks) {
        auto* Combo = qobject_cast<QComboBox*>(Check.Field);
        auto* Edit = qobject_cast<QLineEdit*>(Check.Field);
        const bool Empty = Combo != nullptr ? Combo->currentText().isEmpty() : Edit->text().isEmpty();
        if (!Empty) continue;
        ShowMessageBox(this, TBoxKind::bkError, Check.Message);
        if (Combo != nullptr)
            Combo->setCurrentIndex(Combo->findText(Check.Reset));
        else
            Edit->setText(Check.Reset);
        AllPass = false;
    }
    return AllPass;
}

QString TMainWindow::InputProblem() const
{
    int n = 0;
    if (!TryTextToInt(ToModel(FNumORDaysLE->text()), n) || n < 1)
        return "Number of OR-days: a whole number of at least 1, please (it is \"" + FNumORDaysLE->text() + "\").";
    double L = 0;
    if (!TryTextToFloat(NormalizeDecimalSeparator(ToModel(FLoadLE->text())), L) || !std::isfinite(L) || !(L > 0))
        return "Load: a number greater than 0, please (it is \"" + FLoadLE->text() + "\").";
    return "";
}

void TMainWindow::ValidateInputFields()
{
    const QString Problem = InputProblem();
    FInputProblemL->setText(Problem);
    FInputProblemL->setVisible(!Problem.isEmpty());
    FGenerateInstanceB->setEnabled(Problem.isEmpty());
    if (QAction* Menu = findChild<QAction*>("GenerateInstanceMI")) Menu->setEnabled(Problem.isEmpty());
}

void TMainWindow::GenerateInstanceBClick()
{
    if (FData.CaseMixes.empty()) {
        ShowMessageBox(this, TBoxKind::bkError, "You have to open a database first.");
        return;
    }
    if (const QString Problem = InputProblem(); !Problem.isEmpty()) {
        ShowMessageBox(this, TBoxKind::bkError, Problem);
        return;
    }
    FGenerateInstanceB->setEnabled(false);
    struct TEnableAgain {
        TMainWindow* Window;
        ~TEnableAgain() { Window->ValidateInputFields(); }
    } EnableAgain{this};
    if (!CheckInputFields()) return;
    TCaseMix* CaseMix = SelectedCaseMix();
    if (CaseMix == nullptr || !CapacityIsValid()) return;
    RunCommand([&] {
        const double c = CapacityORinMinutes();
        int n = 0;
        TryTextToInt(ToModel(FNumORDaysLE->text()), n);  // checked above
        double L = 0;
        TryTextToFloat(NormalizeDecimalSeparator(ToModel(FLoadLE->text())), L);
        const int k = FNumInstancesSE->value();

        struct TObserver : TFillObserver {
            QComboBox* Selector;
            explicit TObserver(QComboBox* S) : Selector(S) {}
            void InstanceAdded(int) override
            {
                const TQuiet Quiet(Selector);
                Selector->addItem(QString::number(Selector->count()));
            }
            void ProcessEvents() override { QCoreApplication::processEvents(); }
        } Observer(FShowInstanceNrCB);
        if (!GenerateAndAddInstances(*CaseMix, FCaseMixTypeCB->currentIndex(), k, n, c, L, &Observer)) return;
        {
            const TQuiet Quiet(FShowInstanceNrCB);
            FShowInstanceNrCB->setCurrentIndex(FShowInstanceNrCB->count() - 1);
        }
        ShowSelectedInstance();
    });
}

TInstance* TMainWindow::SelectedInstance(bool ShowError)
{
    int n = 0;
    TCaseMix* CaseMix = SelectedCaseMix();
    const bool Parsed = TryTextToInt(ToModel(FShowInstanceNrCB->currentText()), n);
    if (!Parsed || CaseMix == nullptr || n < 0 || n >= CaseMix->Instances.Count()) {
        if (ShowError) ShowMessageBox(this, TBoxKind::bkError, InstanceNumberError);
        return nullptr;
    }
    return CaseMix->Instances[n];
}

void TMainWindow::ShowSelectedInstance()
{
    TInstance* Instance = SelectedInstance(true);
    if (Instance == nullptr) return;
    FChart->PlotInstance(*Instance);
    FNumORDaysLE->setText(QString::number(Instance->NumberOfORs));
    FGenLoadT->setText("The generated load is: " + FromModel(FormatFixedLocale(Instance->Load, 4)));
    FLoadLE->setText(FromModel(FormatGeneral(Instance->DesiredLoad)));
}

void TMainWindow::RefillInstanceSelector()
{
    FChart->ClearSurgeryPoints();
    FGenLoadT->setText(NoGeneratedLoad);
    const TQuiet Quiet(FShowInstanceNrCB);
    FShowInstanceNrCB->clear();
    if (TCaseMix* CaseMix = SelectedCaseMix())
        for (int i = 0; i < CaseMix->Instances.Count(); ++i) FShowInstanceNrCB->addItem(QString::number(i));
    FShowInstanceNrCB->setCurrentIndex(-1);
}

void TMainWindow::CaseMixCBChange()
{
    RefillInstanceSelector();
    if (TCaseMix* CaseMix = SelectedCaseMix()) {
        const TQuiet Quiet(FCaseMixTypeCB);
        FCaseMixTypeCB->setCurrentIndex(
            CaseMix->CaseMixType >= 0 && CaseMix->CaseMixType < NumCaseMixTypes ? CaseMix->CaseMixType : 0);
    }
    // The chart shows the region of the type the selector now shows.
    FChart->DrawCaseMixImage(FCaseMixTypeCB->currentIndex());
    ShowCaseMixName();
}

void TMainWindow::CaseMixTypeCBChange()
{
    // The chart loses the instance's points: no instance is shown any more.
    FChart->DrawCaseMixImage(FCaseMixTypeCB->currentIndex());
    const TQuiet Quiet(FShowInstanceNrCB);
    FShowInstanceNrCB->setCurrentIndex(-1);
    FGenLoadT->setText(NoGeneratedLoad);
}

void TMainWindow::GenerateTheoreticalCaseMixBClick()
{
    if (!CapacityIsValid()) return;
    RunCommand([&] {
        TBusyCursor Busy;
        const std::string Name = "Theoretical case mix " + std::to_string(++FTheoreticalCaseMixes);
        FData.GenerateAndAddTheoreticalCaseMix(Name, 0.01, 1, 0, 1, 0.01, 0.01, CapacityORinMinutes(), 1);
        {
            const TQuiet Quiet(FCaseMixCB);
            FCaseMixCB->addItem(FromModel(Name));
            FCaseMixCB->setCurrentIndex(FCaseMixCB->count() - 1);
        }
        ShowAddedCaseMix();
    });
}

void TMainWindow::LoadCaseMixBClick()
{
    if (!CapacityIsValid()) return;
    TFileDialogRequest Request;
    Request.Caption = "Add case mix from file";
    Request.Directory = FFolders.UserCaseMixFolder;
    Request.Filter = TextFileFilter;
    const QString FileName = RunFileDialog(this, Request);
    if (FileName.isEmpty()) return;
    FStatusL->setText("Case mix: " + FileName);
    bool Added = false;
    RunCommand([&] { Added = AddCaseMixFromFile(FileName); });
    // Nothing was read: the status bar names the case mix still selected.
    if (!Added) ShowCaseMixName();
}

void TMainWindow::SaveCaseMixBClick()
{
    TCaseMix* CaseMix = SelectedCaseMix();
    if (CaseMix == nullptr) return;
    TFileDialogRequest Request;
    Request.Save = true;
    Request.Caption = "Save case mix to file";
    Request.Directory = FFolders.UserCaseMixFolder;
    Request.ProposedName = FCaseMixCB->currentText();
    Request.Filter = TextFileFilter;
    Request.DefaultSuffix = "txt";
    const QString FileName = RunFileDialog(this, Request);
    if (FileName.isEmpty()) return;
    RunCommand([&] { CaseMix->WriteCaseMix(ToModel(FileName), FCaseMixTypeCB->currentIndex()); });
}

void TMainWindow::SaveBClick()
{
    TCaseMix* CaseMix = SelectedCaseMix();
    const int Position = FShowInstanceNrCB->currentIndex();
    if (CaseMix == nullptr || Position < 0 || Position >= CaseMix->Instances.Count()) return;
    TFileDialogRequest Request;
    Request.Save = true;
    Request.Caption = "Save instance";
    Request.Directory = FFolders.FileFolder;
    Request.ProposedName = FromModel(CaseMix->Name) + "_instance_" + QString::number(Position);
    Request.Filter = TextFileFilter;
    Request.DefaultSuffix = "txt";
    const QString FileName = RunFileDialog(this, Request);
    if (FileName.isEmpty()) return;
    RunCommand([&] {
        TBusyCursor Busy;
        TInstance* Instance = CaseMix->Instances[Position];
        Instance->FileName = ToModel(FileName);
        Instance->SaveInstance();
    });
}

void TMainWindow::SaveChartPictureMIClick()
{
    TFileDialogRequest Request;
    Request.Save = true;
    Request.Caption = "Save chart as picture";
    Request.Directory = FFolders.FileFolder;
    const TCaseMix* CaseMix = SelectedCaseMix();
    Request.ProposedName = (CaseMix != nullptr ? FromModel(CaseMix->Name) + "_" : QString()) + "type_" +
                           QString::number(FCaseMixTypeCB->currentIndex());
    if (const int Position = FShowInstanceNrCB->currentIndex(); CaseMix != nullptr && Position >= 0)
        Request.ProposedName += "_instance_" + QString::number(Position);
    Request.Filter = "SVG pictures (*.svg);;PNG pictures (*.png)";
    Request.DefaultSuffix = "svg";
    const QString FileName = RunFileDialog(this, Request);
    if (FileName.isEmpty()) return;
    const std::optional<TPictureFormat> Format = PictureFormatOf(FileName);
    if (!Format) {
        ShowMessageBox(this, TBoxKind::bkError, "Error! The name of a picture must end in .svg or .png.");
        return;
    }
    // A PNG gets twice the pixels of the screen, for print.
    RunCommand([&] {
        WritePicture(
            FileName, *Format, FChart->size(), "Generated surgeries",
            [this](QPainter& Painter) { FChart->RenderPicture(Painter); }, 2);
    });
}

void TMainWindow::LoadInstanceBClick()
{
    if (SelectedCaseMix() == nullptr) return;
    TFileDialogRequest Request;
    Request.Caption = "Load instance";
    Request.Directory = FFolders.FileFolder;
    Request.Filter = TextFileFilter;
    const QString FileName = RunFileDialog(this, Request);
    if (FileName.isEmpty()) return;
    RunCommand([&] {
        TCaseMix* CaseMix = nullptr;
        FData.ReadAndAddInstance(ToModel(FileName), CaseMix);
        if (CaseMix == nullptr) return;
        const TCaseMix* Before = SelectedCaseMix();
        for (std::size_t i = 0; i < FData.CaseMixes.size(); ++i) {
            if (FData.CaseMixes[i].get() != CaseMix) continue;
            const TQuiet Quiet(FCaseMixCB);
            FCaseMixCB->setCurrentIndex(static_cast<int>(i));
        }
        // An instance of another case mix: the selectors and the chart follow that case mix, and
        // the instance selector lists its instances only, the loaded one last.
        if (CaseMix != Before) {
            CaseMixCBChange();
        } else {
            const TQuiet Quiet(FShowInstanceNrCB);
            FShowInstanceNrCB->addItem(QString::number(CaseMix->Instances.Count() - 1));
        }
        {
            const TQuiet Quiet(FShowInstanceNrCB);
            FShowInstanceNrCB->setCurrentIndex(FShowInstanceNrCB->count() - 1);
        }
        ShowSelectedInstance();
    });
}

void TMainWindow::GenerateXInstancesBClick()
{
    if (OpenBatchWindow) OpenBatchWindow(*this);
    CaseMixCBChange();
}

void TMainWindow::MinOverlapBClick()
{
    if (OpenOverlapWindow) OpenOverlapWindow(*this);
}

void TMainWindow::AboutMIClick()
{
    ShowMessageBox(this, TBoxKind::bkInformation,
                   QString("Orbench %1\n\nBenchmark instances for operating-room scheduling research: case mixes, "
                           "instance generation, case-mix types, overlap between instances and minimum-overlap "
                           "selection.\n\nBuilt with Qt, COIN-OR CLP and CBC.")
                       .arg(ProgramVersion));
}

void TMainWindow::SurgeryClicked(int Index)
{
    TInstance* Instance = SelectedInstance(true);
    if (Instance == nullptr || Index < 0 || Index >= static_cast<int>(Instance->Surgeries.size())) return;
    TSurgery& Surgery = *Instance->Surgeries[static_cast<std::size_t>(Index)];
    TSurgeryType& Type = *Surgery.SurgeryType;
    TDistribution& D = *Type.Distribution;
    TSurgeryInfoDialog Dialog(this);
    Dialog.setWindowTitle("Info about surgery, ID = " + QString::number(Surgery.ID));
    Dialog.FillFromCaller(D.P1, D.P2, D.P3, D.Expected, D.CalculateStdDev(), 1440 * D.Expected,
                          1440 * D.CalculateStdDev());
    if (Dialog.exec() != QDialog::Accepted || !CapacityIsValid()) return;
    D.P1 = Dialog.P1();
    D.P2 = Dialog.P2();
    D.P3 = Dialog.P3();
    D.CalculateExpected();
    D.CalculateVariance();
    const double c = CapacityORinMinutes();
    Type.Xvalue = 1440 * D.Expected / c;
    Type.Yvalue = D.CalculateStdDev() / D.Expected;
    // Every instance of the case mix with a surgery of the type now has another load: computed
    // again as generation adds it up, so that the label and a saved file say the same.
    RecomputeLoads(*Instance->CaseMix, Type);
    ShowSelectedInstance();
}

}  // namespace orbench::ui
