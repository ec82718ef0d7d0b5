// The main window and its surgery chart, with message boxes and file dialogs answered through the
// UI service handlers. Expected numbers come from the distributions' moments, the generation rule
// and the file layouts, not from the window.
#include <QAbstractItemView>
#include <QApplication>
#include <QChart>
#include <QComboBox>
#include <QDir>
#include <QEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QWheelEvent>
#include <QXmlStreamReader>
#include <QtTest>
#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <numeric>

#include "CaseMixRegions.h"
#include "InstalledLayout.h"
#include "MainWindow.h"
#include "ProgramFolders.h"
#include "ProgramVersion.h"
#include "NumberFormat.h"
#include "SurgeryChart.h"
#include "SurgeryInfoDialog.h"
#include "TestHelpers.h"
#include "UiTestHelpers.h"

using namespace orbench;
using namespace orbench::ui;
using orbench::testing::ReadAll;
using orbench::testing::TickLabels;
using orbench::testing::WriteLines;

namespace {

using TLines = std::vector<std::string>;
const std::string Header = "ID\tDistributionType\tP1\tP2\tP3\tFrequency";
// With c = 480: two shifted lognormals left of X = 0.5 (about 124 and 198 minutes) and a normal
// type of 300 minutes at (0.625, 0.2); frequencies 1/4, 1/4, 1/2.
const TLines Mixed = {Header, "11\tThreeParameterLognormal\t4.6\t0.3\t20\t1",
                      "12\tThreeParameterLognormal\t5\t0.5\t30\t1", "13\tNormal\t300\t60\t0\t2"};

double LogMean(double P1, double P2, double P3) { return std::exp(P1 + P2 * P2 / 2) + P3; }
double LogStdDev(double P1, double P2) { return std::sqrt((std::exp(P2 * P2) - 1) * std::exp(2 * P1 + P2 * P2)); }
// Mean and standard deviation in minutes of the two kinds used here, from the parameters.
double MeanMinutes(const TSurgeryType& Type)
{
    const TDistribution& D = *Type.Distribution;
    return D.DistributionType == dNormal ? D.P1 : LogMean(D.P1, D.P2, D.P3);
}
double CoefVar(const TSurgeryType& Type)
{
    const TDistribution& D = *Type.Distribution;
    return (D.DistributionType == dNormal ? D.P2 : LogStdDev(D.P1, D.P2)) / MeanMinutes(Type);
}
// The expected work of an instance in minutes.
double Work(const TInstance& Instance)
{
    return std::accumulate(Instance.Surgeries.begin(), Instance.Surgeries.end(), 0.0,
                           [](double W, const auto& Surgery) { return W + MeanMinutes(*Surgery->SurgeryType); });
}
bool Near(double A, double B, double Tolerance = 1e-12) { return std::abs(A - B) <= Tolerance; }
bool Near(QPointF A, QPointF B) { return Near(A.x(), B.x()) && Near(A.y(), B.y()); }

// An instance of two OR-days holding one surgery of type 11 and one of type 12 of Mixed.
void WriteInstance(const QString& FileName, const std::string& CaseMixName)
{
    WriteLines(FileName.toStdString(),
               {"# INSTANCE CHARACTERISTICS", "999999\tInstance number", CaseMixName + "\tcase mix name",
                "2\tnumber of OR-days", "0.800000000\tdesired load", "0.500000000\tload",
                "480.000000000\tCapacity OR-days in minutes", "", "# SURGERIES", "SurgNr\tP1\tP2\tP3",
                "1\t4.600000000\t0.300000000\t20.000000000", "2\t5.000000000\t0.500000000\t30.000000000"});
}

// Region shapes compared by their boxes, whatever the order of the corners.
const TRegionShape Empty{}, Unit{true, 0, 0, 1, 1};
bool Same(const TRegionShape& S, const TRegionShape& E)
{
    return S.Present == E.Present && (!S.Present || (Near(S.Left(), E.Left()) && Near(S.Bottom(), E.Bottom()) &&
                                                     Near(S.Right(), E.Right()) && Near(S.Top(), E.Top())));
}
// The colour left at (X, Y) by the white background and the four layers painted in order; a
// triangle has its base on the bottom edge of its box and its apex at the middle of the top edge.
bool IsWhite(const TSurgeryChart& Chart, double X, double Y)
{
    bool White = true;
    for (int Layer = 0; Layer < 4; ++Layer) {
        const TRegionShape& S = Chart.LayerShape(Layer);
        if (!S.Present || X < S.Left() || X > S.Right() || Y < S.Bottom() || Y > S.Top()) continue;
        const double HalfWidth = (S.Right() - S.Left()) / 2 * (S.Top() - Y) / (S.Top() - S.Bottom());
        const bool Triangle = Layer == rlWhiteTriangle || Layer == rlGrayTriangle;
        if (!Triangle || std::abs(X - (S.Left() + S.Right()) / 2) <= HalfWidth)
            White = Layer == rlWhiteTriangle || Layer == rlWhiteRectangle;
    }
    return White;
}

struct TDialogVisit {
    bool Seen = false;
    QString Caption, MuText;
    QStringList Fields;
};

// Answers the surgery dialog that the next click opens: notes what it shows, types the three
// parameters and presses "Save changes" or "Cancel".
void AnswerSurgeryDialog(QObject* Context, TDialogVisit& Visit, const QStringList& Typed, bool Save, int Tries = 200)
{
    QTimer::singleShot(10, Context, [=, &Visit] {
        auto* Dialog = qobject_cast<TSurgeryInfoDialog*>(QApplication::activeModalWidget());
        if (Dialog == nullptr) {
            if (Tries > 0) AnswerSurgeryDialog(Context, Visit, Typed, Save, Tries - 1);
            return;
        }
        Visit.Seen = true;
        Visit.Caption = Dialog->windowTitle();
        Visit.MuText = Dialog->findChild<QLabel*>("MuL")->toolTip();  // in full
        for (int i = 0; i < 3; ++i) {
            auto* Edit = Dialog->findChild<QLineEdit*>(QString("P%1LE").arg(i + 1));
            Visit.Fields << Edit->text();
            Edit->setText(Typed[i]);
        }
        QTest::mouseClick(Dialog->findChild<QPushButton*>(Save ? "Button1" : "Button2"), Qt::LeftButton);
    });
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<orbench::testing::TTempDir> FDir;
    std::unique_ptr<TData> FData;
    std::unique_ptr<TMainWindow> FWindow;
    QStringList FTexts;  // the message boxes shown, and their kinds
    QList<TBoxKind> FKinds;
    QList<TFileDialogRequest> FRequests;
    QString FAnswer;  // what the next file dialog returns

    QString ProgramDir() const { return QString::fromStdString(FDir->Path()) + "/"; }
    QString CaseMixFile(const QString& Name) const { return ProgramDir() + "casemixes/" + Name; }
    void Open(const std::vector<std::pair<QString, TLines>>& Files, bool MakeDirectory = true)
    {
        if (MakeDirectory) QDir().mkpath(ProgramDir() + "casemixes");
        for (const auto& [Name, Lines] : Files) WriteLines(CaseMixFile(Name).toStdString(), Lines);
        FWindow = std::make_unique<TMainWindow>(*FData, ProgramDir());
        FWindow->show();
        if (!QTest::qWaitForWindowExposed(FWindow.get())) qWarning("the main window was not exposed");
    }
    template <class T>
    T* Get(const char* Name) const
    {
        return FWindow->findChild<T*>(Name);
    }
    QComboBox* Combo(const char* Name) const { return Get<QComboBox>(Name); }
    QStringList Entries(const char* Name) const
    {
        QStringList Result;
        for (int i = 0; i < Combo(Name)->count(); ++i) Result << Combo(Name)->itemText(i);
        return Result;
    }
    void Click(const char* Name) { QTest::mouseClick(Get<QPushButton>(Name), Qt::LeftButton); }
    void Generate(int Count)
    {
        Get<QSpinBox>("NumInstancesSE")->setValue(Count);
        Click("GenerateInstanceB");
    }
    void SetTimes(const QString& Opens, const QString& Closes)
    {
        Combo("ORopenCB")->setCurrentIndex(Combo("ORopenCB")->findText(Opens));
        Combo("ORCloseCB")->setCurrentIndex(Combo("ORCloseCB")->findText(Closes));
    }
    void ClearMessages()
    {
        FTexts.clear();
        FKinds.clear();
    }
    TCaseMix& Selected() const { return *FWindow->SelectedCaseMix(); }
    TSurgeryChart& Chart() const { return *FWindow->Chart(); }
    QString LoadText(double Load) const { return "The generated load is: " + QString::asprintf("%.4f", Load); }
    bool ShowsRegionOf(int Type) const
    {
        for (int Layer = 0; Layer < 4; ++Layer)
            if (!Same(Chart().LayerShape(Layer), CaseMixRegion(Type)[std::size_t(Layer)])) return false;
        return true;
    }
    // Both axes label round values, none twice, each label reading as its value.
    bool TicksAreReadable() const
    {
        for (const QValueAxis* Axis : {Chart().AxisX(), Chart().AxisY()}) {
            const QStringList Labels = TickLabels(Axis);
            if (Labels.size() < 3 || Labels.size() > 11 ||
                QSet<QString>(Labels.begin(), Labels.end()).size() != Labels.size())
                return false;
            const double First = Labels.first().toDouble();
            for (qsizetype k = 0; k < Labels.size(); ++k)
                if (std::abs(Labels[k].toDouble() - (First + double(k) * Axis->tickInterval())) >
                    1e-9 * Axis->tickInterval())
                    return false;
        }
        return true;
    }
    bool ShowsUnitSquare() const
    {
        return Chart().AxisX()->min() == 0 && Chart().AxisX()->max() == 1 && Chart().AxisY()->min() == 0 &&
               Chart().AxisY()->max() == 1;
    }
    void Wheel(int Delta)
    {
        const QPointF At = Chart().viewport()->rect().center();
        QWheelEvent Event(At, Chart().viewport()->mapToGlobal(At), {}, QPoint(0, Delta), Qt::NoButton, {},
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(Chart().viewport(), &Event);
    }

private slots:
    void init()
    {
        SetDecimalSeparator('.');
        FDir = std::make_unique<orbench::testing::TTempDir>();
        FData = std::make_unique<TData>();
        ClearMessages();
        FRequests.clear();
        FAnswer.clear();
        SetMessageBoxHandler([this](TBoxKind Kind, const QString& Text) {
            FKinds << Kind;
            FTexts << Text;
        });
        SetFileDialogHandler([this](const TFileDialogRequest& Request) {
            FRequests << Request;
            return FAnswer;
        });
    }

    void cleanup()
    {
        FWindow.reset();  // before the model it points to
        FData.reset();
        FDir.reset();
        SetMessageBoxHandler({});
        SetFileDialogHandler({});
    }

    void startupReadsLowerCaseTxtFilesInNameOrder()
    {
        QDir().mkpath(CaseMixFile("c.txt"));  // a directory, not a case mix
        Open({{"b.txt", Mixed}, {"A.txt", {Header, "1\tNormal\t144\t72\t0\t1"}}, {"A.TXT", Mixed}});
        QVERIFY(FTexts.isEmpty());
        QCOMPARE(FData->CaseMixes.size(), std::size_t(2));
        QVERIFY(FData->CaseMixes[0]->Name == "A" && FData->CaseMixes[1]->Name == "b");
        QCOMPARE(Entries("CaseMixCB"), QStringList({"A", "b"}));
        QCOMPARE(FWindow->SelectedCaseMixIndex(), 1);
        QCOMPARE(FWindow->StatusText(), QString("Case mix: b"));
        // read with the default OR-day of 480 minutes: 144 minutes is X = 0.3, Y = 72 / 144
        const TSurgeryType& Type = *FData->CaseMixes[0]->SurgeryTypes[0];
        QVERIFY(Near(Type.Xvalue, 0.3) && Near(Type.Yvalue, 0.5));
        QCOMPARE(Combo("CaseMixTypeCB")->currentIndex(), 0);
        QVERIFY(Same(Chart().LayerShape(rlGrayRectangle), Unit) && Same(Chart().LayerShape(rlWhiteRectangle), Unit));
        QVERIFY(Same(Chart().LayerShape(rlWhiteTriangle), Empty) && Same(Chart().LayerShape(rlGrayTriangle), Empty));
        QVERIFY(Chart().SurgeryPoints().isEmpty() && Chart().CenterOfMassPoints().isEmpty());
        QCOMPARE(Combo("ShowInstanceNrCB")->count(), 0);
        QVERIFY(Get<QLineEdit>("LoadLE")->text() == "0.8" && Get<QLineEdit>("NumORDaysLE")->text() == "10");
        QCOMPARE(Get<QLabel>("GenLoadT")->text(), QString("The generated load is: \u2013"));
    }

    void withoutCaseMixDirectoryItIsCreatedAndCommandsRefuse()
    {
        Open({}, false);
        QCOMPARE(FTexts, QStringList({"Error: cannot locate the subdirectory \"casemixes\".\r\nDirectory created. "
                                      "No case mix types were read."}));
        QVERIFY(FKinds[0] == TBoxKind::bkError && QDir(ProgramDir() + "casemixes").exists());
        QVERIFY(FData->CaseMixes.empty() && Combo("CaseMixCB")->count() == 0);
        QCOMPARE(FWindow->StatusText(), QString("Case mix: "));
        ClearMessages();
        Click("GenerateInstanceB");
        QCOMPARE(FTexts, QStringList({"You have to open a database first."}));
        QVERIFY(FKinds[0] == TBoxKind::bkError && Get<QPushButton>("GenerateInstanceB")->isEnabled());
        // the commands that need a selected case mix do nothing
        ClearMessages();
        FAnswer = ProgramDir() + "x.txt";
        Click("SaveCaseMixB");
        Click("SaveB");
        FWindow->LoadInstanceBClick();
        QVERIFY(FTexts.isEmpty() && FRequests.isEmpty() && !QFileInfo::exists(FAnswer));
    }

    void programFoldersFollowThePlaceOfTheProgram()
    {
        const orbench::testing::TInstalledLayout Layout;
        const QString Bin = Layout.ProgramFolder(), User = Layout.UserCaseMixFolder();
        const auto BesideTheProgram = [&Bin](const TProgramFolders& Folders) {
            return !Folders.Installed && Folders.CaseMixFolders == QStringList{Bin + "casemixes/"} &&
                   Folders.UserCaseMixFolder == Bin + "casemixes/" && Folders.BatchFolder == Bin + "instances/" &&
                   Folders.FileFolder == Bin;
        };
        // "casemixes" beside the program wins over an installation's shared folder
        QVERIFY(QDir().mkpath(Bin + "casemixes"));
        QVERIFY(BesideTheProgram(FindProgramFolders(Bin)));
        QVERIFY(!QDir(User).exists());
        // installed: shared, then the user's own folder (made), documents for the rest
        QVERIFY(QDir(Bin + "casemixes").removeRecursively());
        const TProgramFolders Installed = FindProgramFolders(Bin.chopped(1));
        QVERIFY(Installed.Installed);
        QCOMPARE(Installed.CaseMixFolders, QStringList({Layout.SharedCaseMixFolder(), User}));
        QCOMPARE(Installed.UserCaseMixFolder, User);
        QCOMPARE(Installed.BatchFolder, Layout.Documents() + "orbench/instances/");
        QCOMPARE(Installed.FileFolder, Layout.Documents() + "orbench/");
        QVERIFY(QDir(User).exists() && !QDir(Layout.Documents()).exists());
        // neither: beside the program, nothing made (the main window says so and makes it)
        QVERIFY(QDir(Layout.SharedCaseMixFolder()).removeRecursively());
        QVERIFY(BesideTheProgram(FindProgramFolders(Bin)));
        QVERIFY(!QDir(Bin + "casemixes").exists());
    }

    void installedProgramReadsTheSharedThenTheUsersCaseMixes()
    {
        const orbench::testing::TInstalledLayout Layout;
        const QString Shared = Layout.SharedCaseMixFolder(), User = Layout.UserCaseMixFolder();
        QVERIFY(QDir().mkpath(User));
        WriteLines((Shared + "clinic.txt").toStdString(), Mixed);
        WriteLines((User + "clinic.txt").toStdString(), {Header, "1\tNormal\t144\t72\t0\t1"});
        WriteLines((User + "mine.txt").toStdString(), Mixed);
        FWindow = std::make_unique<TMainWindow>(*FData, Layout.ProgramFolder());
        FWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(FWindow.get()));
        QVERIFY(FTexts.isEmpty());
        // the user's case mix of a shared one's name is listed after it, told apart by its tool tip
        QCOMPARE(Entries("CaseMixCB"), QStringList({"clinic", "clinic", "mine"}));
        const QStringList Files = {Shared + "clinic.txt", User + "clinic.txt", User + "mine.txt"};
        for (int i = 0; i < 3; ++i) QCOMPARE(Combo("CaseMixCB")->itemData(i, Qt::ToolTipRole).toString(), Files[i]);
        QCOMPARE(FData->CaseMixes[1]->SurgeryTypes.size(), std::size_t(1));
        QVERIFY(!QDir(Layout.ProgramFolder() + "casemixes").exists());
        const QString Hint = Combo("CaseMixCB")->toolTip();
        QVERIFY2(Hint.startsWith("Select a case mix for which to generate instances.\n") &&
                     Hint.contains(QDir::cleanPath(Shared)) && Hint.contains(QDir::cleanPath(User)),
                 qPrintable(Hint));
        // the case-mix dialogs open in the user's folder, the others in the documents' orbench
        Click("LoadCaseMixB");
        Click("SaveCaseMixB");
        FWindow->SaveChartPictureMIClick();
        QCOMPARE(FRequests.size(), 3);
        QCOMPARE(FRequests[0].Directory, User);
        QVERIFY(FRequests[1].Save && FRequests[1].Directory == User && FRequests[1].ProposedName == "mine");
        QCOMPARE(FRequests[2].Directory, Layout.Documents() + "orbench/");
    }

    void startupStopsAtABadFileAndKeepsTheEarlierOnes()
    {
        Open({{"a.txt", Mixed}, {"b.txt", {Header, "5\tNormal\t100"}}, {"c.txt", Mixed}});
        QVERIFY(FTexts.size() == 1 && FKinds[0] == TBoxKind::bkError && !FTexts[0].isEmpty());
        QCOMPARE(Entries("CaseMixCB"), QStringList({"a"}));
        QVERIFY(FData->CaseMixes.size() == 1 && FWindow->SelectedCaseMixIndex() == 0);
        QCOMPARE(FWindow->StatusText(), QString());
    }

    void capacityComesFromTheTimeSelectors()
    {
        Open({{"m.txt", Mixed}});
        for (QComboBox* Times : {Combo("ORopenCB"), Combo("ORCloseCB")}) {
            QVERIFY(!Times->isEditable() && Times->count() == 48);
            QVERIFY(Times->itemText(0) == "0:00" && Times->itemText(19) == "9:30" && Times->itemText(47) == "23:30");
        }
        QVERIFY(Combo("ORopenCB")->currentText() == "7:30" && Combo("ORCloseCB")->currentText() == "15:30");
        QCOMPARE(FWindow->CapacityORinMinutes(), 480.0);
        SetTimes("8:00", "16:30");
        QCOMPARE(FWindow->CapacityORinMinutes(), 510.0);
        // an instance made now fills 10 OR-days of 510 minutes; the case mix keeps its coordinates
        Generate(1);
        const TInstance& Instance = *Selected().Instances[0];
        QVERIFY(Near(Instance.Load, Work(Instance) / (10 * 510), 1e-9));
        QVERIFY(Work(Instance) <= 0.8 * 10 * 510 && Work(Instance) > 0.8 * 10 * 510 - 300);
        QVERIFY(Near(Selected().SurgeryTypes[2]->Xvalue, 300.0 / 480));
    }

    void closingAtOrBeforeOpeningIsRefused()
    {
        Open({{"m.txt", Mixed}});
        const QStringList Refusal = {"Error! The closing time of the ORs must lie after the opening time."};
        FAnswer = CaseMixFile("m.txt");
        for (const auto& [Opens, Closes] : {std::pair("16:00", "8:00"), std::pair("9:00", "9:00")}) {
            SetTimes(Opens, Closes);
            ClearMessages();
            Generate(2);
            QCOMPARE(FTexts, Refusal);
            QVERIFY(Selected().Instances.Empty() && Combo("ShowInstanceNrCB")->count() == 0);
            QVERIFY(Get<QPushButton>("GenerateInstanceB")->isEnabled());
            ClearMessages();
            Click("GenerateTheoreticalCaseMixB");
            Click("LoadCaseMixB");
            QCOMPARE(FTexts, Refusal + Refusal);
            QVERIFY(FData->CaseMixes.size() == 1 && Combo("CaseMixCB")->count() == 1);
        }
    }

    void generatesInstancesUpToTheDesiredLoadAndShowsTheLast()
    {
        Open({{"m.txt", Mixed}});
        TCaseMix& CaseMix = Selected();
        const int IdsBefore = FData->GenerateObjectID.LastID;
        Generate(3);
        QVERIFY(FTexts.isEmpty());
        QCOMPARE(CaseMix.Instances.Count(), 3);
        QCOMPARE(Entries("ShowInstanceNrCB"), QStringList({"0", "1", "2"}));
        QCOMPARE(Combo("ShowInstanceNrCB")->currentText(), QString("2"));
        int Accepted = 0;
        for (const TInstance* Instance : CaseMix.Instances) {
            QVERIFY(Instance->NumberOfORs == 10 && Instance->DesiredLoad == 0.8);
            QVERIFY(Near(Instance->Load, Work(*Instance) / (10 * 480), 1e-9) && Instance->Load <= 0.8);
            // a draw is refused only when it would overshoot, and the longest type lasts 300 minutes
            QVERIFY(Work(*Instance) > 10 * 0.8 * 480 - 300);
            Accepted += static_cast<int>(Instance->Surgeries.size());
        }
        // each draw takes an identifier; every instance ends after its fifth refused draw
        QCOMPARE(FData->GenerateObjectID.LastID - IdsBefore, Accepted + 3 * 5);
        const TInstance& Last = *CaseMix.Instances[2];
        QCOMPARE(Get<QLabel>("GenLoadT")->text(), LoadText(Work(Last) / (10 * 480)));
        // its surgeries in order at their types' plane coordinates, and their mean
        const QVector<QPointF> Points = Chart().SurgeryPoints();
        QCOMPARE(Points.size(), qsizetype(Last.Surgeries.size()));
        QPointF Sum;
        for (qsizetype k = 0; k < Points.size(); ++k) {
            const TSurgeryType& Type = *Last.Surgeries[std::size_t(k)]->SurgeryType;
            const QPointF Expected(MeanMinutes(Type) / 480, CoefVar(Type));
            QVERIFY(Near(Points[k], Expected));
            Sum += Expected;
        }
        const QPointF Center = Sum / double(Points.size());
        QCOMPARE(Chart().CenterOfMassPoints().size(), qsizetype(1));
        QVERIFY(Near(Chart().CenterOfMassPoints()[0], Center));
        QTest::mouseClick(Chart().viewport(), Qt::LeftButton, {}, Chart().CenterOfMassPosition());
        QCOMPARE(FTexts, QStringList({"Center of mass X: " + QString::asprintf("%.4f", Center.x()) +
                                      "\rCenter of mass Y: " + QString::asprintf("%.4f", Center.y())}));
    }

    void caseMixTypeLimitsTheDrawnSurgeryTypes()
    {
        Open({{"m.txt", Mixed}});
        Combo("CaseMixTypeCB")->setCurrentIndex(2);  // X >= 0.5 and Y >= 0.5: none of the three
        Generate(3);
        QCOMPARE(FTexts, QStringList({"This instance has no surgery types. Exiting."}));
        QCOMPARE(Selected().Instances.Count(), 1);
        QVERIFY(Selected().Instances[0]->Surgeries.empty() && Selected().Instances[0]->Load == 0);
        QCOMPARE(Entries("ShowInstanceNrCB"), QStringList({"0"}));
        Combo("CaseMixTypeCB")->setCurrentIndex(6);  // X >= 0.5: only the normal type 13
        Generate(1);
        const TInstance& Instance = *Selected().Instances[1];
        QVERIFY(!Instance.Surgeries.empty());
        for (const auto& Surgery : Instance.Surgeries) QCOMPARE(Surgery->SurgeryType->ID, 13);
    }

    void generationErrorsLeaveTheCaseMixAsItWas()
    {
        Open({{"neg.txt", {Header, "7\tNormal\t30\t5\t0\t1"}}});
        // The reader refuses a negative mean; an edited type can still have one.
        TDistribution& D = *Selected().SurgeryTypes[0]->Distribution;
        D.P1 = -30, D.CalculateExpected();
        // No OR-days: refused where it is typed, the button disabled until it is a number of at least 1.
        for (const char* Days : {"0", ""}) {
            Get<QLineEdit>("NumORDaysLE")->setText(Days);
            QVERIFY(!Get<QPushButton>("GenerateInstanceB")->isEnabled());
            QVERIFY(Get<QLabel>("InputProblemL")->text().startsWith("Number of OR-days: a whole number of at least 1"));
        }
        for (const char* Days : {"10"}) {  // a type that can never fill one
            Get<QLineEdit>("NumORDaysLE")->setText(Days);
            ClearMessages();
            Generate(2);
            const QByteArray Case = QByteArray("with ") + Days + " OR-days";
            QVERIFY2(FTexts.size() == 1 && FKinds[0] == TBoxKind::bkError, Case);
            QVERIFY2(Selected().Instances.Count() == 0, Case + ": instances were added");
            QVERIFY2(Combo("ShowInstanceNrCB")->count() == 0, Case + ": instance entries were added");
            QVERIFY(Get<QPushButton>("GenerateInstanceB")->isEnabled());
        }
    }

    void savesAndLoadsInstances()
    {
        Open({{"m.txt", Mixed}, {"n.txt", Mixed}});
        TCaseMix& CaseMix = Selected();
        Click("SaveB");  // no instance yet
        QVERIFY(FRequests.isEmpty());
        Generate(3);
        Combo("ShowInstanceNrCB")->setCurrentIndex(1);
        const TInstance& Picked = *CaseMix.Instances[1];
        FAnswer = ProgramDir() + "saved.txt";
        Click("SaveB");
        QCOMPARE(FRequests.size(), 1);
        QVERIFY(FRequests[0].Save && FRequests[0].DefaultSuffix == "txt");
        QCOMPARE(FRequests[0].ProposedName, QString("n_instance_1"));
        QCOMPARE(QDir(FRequests[0].Directory).canonicalPath(), QDir(ProgramDir()).canonicalPath());
        const std::string Content = ReadAll(FAnswer.toStdString());
        QVERIFY(
            Content.starts_with("# INSTANCE CHARACTERISTICS\r\n999999\tInstance number\r\nn\tcase mix name\r\n"
                                "10\tnumber of OR-days\r\n0.800000000\tdesired load\r\n"));
        QCOMPARE(std::count(Content.begin(), Content.end(), '\n'), std::ptrdiff_t(10 + Picked.Surgeries.size()));

        FWindow->LoadInstanceBClick();
        QVERIFY(FTexts.isEmpty());
        QCOMPARE(CaseMix.Instances.Count(), 4);
        const TInstance& Loaded = *CaseMix.Instances[3];
        QCOMPARE(Loaded.Surgeries.size(), Picked.Surgeries.size());
        for (std::size_t k = 0; k < Loaded.Surgeries.size(); ++k) {
            QVERIFY(Loaded.Surgeries[k]->SurgeryType == Picked.Surgeries[k]->SurgeryType);
            const TSurgeryType& Type = *Picked.Surgeries[k]->SurgeryType;
            QVERIFY(Near(Chart().SurgeryPoints()[qsizetype(k)], QPointF(Type.Xvalue, Type.Yvalue)));
        }
        QCOMPARE(Entries("ShowInstanceNrCB"), QStringList({"0", "1", "2", "3"}));
        QCOMPARE(Combo("ShowInstanceNrCB")->currentText(), QString("3"));
        QCOMPARE(Get<QLabel>("GenLoadT")->text(), LoadText(Work(Picked) / (10 * 480)));
    }

    void theoreticalCaseMixIsAddedAndSelected()
    {
        Open({{"m.txt", Mixed}, {"n.txt", Mixed}});
        Generate(1);
        SetTimes("8:00", "16:30");
        Click("GenerateTheoreticalCaseMixB");
        QVERIFY(FTexts.isEmpty());
        QCOMPARE(FData->CaseMixes.size(), std::size_t(3));
        const TCaseMix& Theory = *FData->CaseMixes[2];
        QCOMPARE(Theory.Name, std::string("Theoretical case mix 1"));  // numbered from 1
        QCOMPARE(Theory.SurgeryTypes.size(), std::size_t(9900));
        QCOMPARE(Combo("CaseMixCB")->currentText(), QString("Theoretical case mix 1"));
        QVERIFY(FWindow->SelectedCaseMix() == &Theory);
        QVERIFY(Combo("ShowInstanceNrCB")->count() == 0 && Chart().SurgeryPoints().isEmpty());
        const TSurgeryType& Last = *Theory.SurgeryTypes.back();  // the grid point (0.99, 0.99), made with c = 510
        QVERIFY(Near(MeanMinutes(Last), 0.99 * 510, 1e-9) && Near(CoefVar(Last), 0.99, 1e-9));
    }

    void pickingACaseMixTypeDrawsItsRegion()
    {
        Open({{"m.txt", Mixed}});
        Generate(2);
        // types 9, 13 and 2 first (a gray triangle alone; a band; a white rectangle), then the rest
        for (int Type : {9, 13, 2, 0, 1, 3, 4, 5, 6, 7, 8, 10, 11, 12, 14, 15, 16}) {
            Combo("ShowInstanceNrCB")->setCurrentIndex(1);
            QVERIFY(!Chart().SurgeryPoints().isEmpty() && !Chart().CenterOfMassPoints().isEmpty());
            Combo("CaseMixTypeCB")->setCurrentIndex(Type);
            QVERIFY(Chart().SurgeryPoints().isEmpty() && Chart().CenterOfMassPoints().isEmpty());
            // nothing is shown any more, and nothing says otherwise
            QCOMPARE(Combo("ShowInstanceNrCB")->currentIndex(), -1);
            QCOMPARE(Get<QLabel>("GenLoadT")->text(), QString("The generated load is: \u2013"));
            for (int Layer = 0; Layer < 4; ++Layer)
                QVERIFY2(Same(Chart().LayerShape(Layer), CaseMixRegion(Type)[std::size_t(Layer)]),
                         qPrintable(QString("type %1, layer %2").arg(Type).arg(Layer)));
            // what stays white on a grid off the boundaries is the type's region
            for (double X = 0.04; X < 1; X += 0.1)
                for (double Y = 0.07; Y < 1; Y += 0.1)
                    QVERIFY2(IsWhite(Chart(), X, Y) == IsPointOfCaseMixType(Type, X, Y),
                             qPrintable(QString("type %1 at (%2, %3)").arg(Type).arg(X).arg(Y)));
        }
        // picking an instance again plots it over the new region
        Combo("ShowInstanceNrCB")->setCurrentIndex(0);
        QCOMPARE(Chart().SurgeryPoints().size(), qsizetype(Selected().Instances[0]->Surgeries.size()));
    }

    void surgeryClickEditsTheDistributionOfItsType()
    {
        Open({{"m.txt", Mixed}, {"n.txt", Mixed}});
        FAnswer = ProgramDir() + "two.txt";
        WriteInstance(FAnswer, "m");
        FWindow->LoadInstanceBClick();  // selects its case mix and shows it with its own fields
        QVERIFY(FTexts.isEmpty() && FWindow->SelectedCaseMixIndex() == 0);
        QVERIFY(Get<QLineEdit>("NumORDaysLE")->text() == "2" && Get<QLineEdit>("LoadLE")->text() == "0.8");
        QCOMPARE(Get<QLabel>("GenLoadT")->text(), QString("The generated load is: 0.5000"));
        const TInstance& Instance = *Selected().Instances[0];
        QCOMPARE(Instance.Surgeries.size(), std::size_t(2));
        const TSurgery& Second = *Instance.Surgeries[1];
        const TSurgeryType& Type = *Second.SurgeryType;
        QCOMPARE(Type.ID, 12);
        SetTimes("8:00", "16:30");  // the new coordinates use the OR-day of the moment: 510 minutes
        TDialogVisit Saved;
        AnswerSurgeryDialog(FWindow.get(), Saved, {"4.8", "0.4", "25"}, true);
        QTest::mouseClick(Chart().viewport(), Qt::LeftButton, {}, Chart().SurgeryPosition(1));
        QVERIFY(Saved.Seen);
        QCOMPARE(Saved.Caption, "Info about surgery, ID = " + QString::number(Second.ID));
        QCOMPARE(Saved.Fields, QStringList({"5", "0.5", "30"}));
        QVERIFY(Near(Saved.MuText.toDouble(), LogMean(5, 0.5, 30), 1e-8));  // eight decimals
        const TDistribution& D = *Type.Distribution;
        QVERIFY(D.P1 == 4.8 && D.P2 == 0.4 && D.P3 == 25);
        const double Mean = LogMean(4.8, 0.4, 25);
        QVERIFY(Near(D.Expected * 1440, Mean, 1e-9));
        const QPointF Moved(Mean / 510, LogStdDev(4.8, 0.4) / Mean);
        QVERIFY(Near(QPointF(Type.Xvalue, Type.Yvalue), Moved) && Near(Chart().SurgeryPoints()[1], Moved));
        const QPointF First(LogMean(4.6, 0.3, 20) / 480, LogStdDev(4.6, 0.3) / LogMean(4.6, 0.3, 20));
        QVERIFY(Near(Chart().SurgeryPoints()[0], First));
        QVERIFY(Near(Chart().CenterOfMassPoints()[0], (First + Moved) / 2));
        // the instance's load follows the new mean, in the label and in a file saved now
        const double NewLoad = (LogMean(4.6, 0.3, 20) + Mean) / (2 * 480);
        QVERIFY(Near(Instance.Load, NewLoad, 1e-12));
        QCOMPARE(Get<QLabel>("GenLoadT")->text(), LoadText(NewLoad));

        const TSurgeryType& FirstType = *Instance.Surgeries[0]->SurgeryType;
        const QVector<QPointF> Before = Chart().SurgeryPoints();
        TDialogVisit Cancelled;
        AnswerSurgeryDialog(FWindow.get(), Cancelled, {"3", "0.1", "1"}, false);
        QTest::mouseClick(Chart().viewport(), Qt::LeftButton, {}, Chart().SurgeryPosition(0));
        QVERIFY(Cancelled.Seen);
        QCOMPARE(Cancelled.Caption, "Info about surgery, ID = " + QString::number(Instance.Surgeries[0]->ID));
        const TDistribution& Kept = *FirstType.Distribution;
        QVERIFY(Kept.P1 == 4.6 && Kept.P2 == 0.3 && Kept.P3 == 20);
        QVERIFY(Near(QPointF(FirstType.Xvalue, FirstType.Yvalue), First) && Chart().SurgeryPoints() == Before);
        QVERIFY(FTexts.isEmpty());
    }

    void savesOnlyTheSurgeryTypesOfTheSelectedCaseMixType()
    {
        Open({{"m.txt", Mixed}});
        Combo("CaseMixTypeCB")->setCurrentIndex(5);  // X <= 0.5: the two lognormal types
        FAnswer = CaseMixFile("m.txt");
        Click("SaveCaseMixB");
        QCOMPARE(FRequests.size(), 1);
        QVERIFY(FRequests[0].Save && FRequests[0].DefaultSuffix == "txt" && FRequests[0].ProposedName == "m");
        QCOMPARE(QDir(FRequests[0].Directory).canonicalPath(), QDir(CaseMixFile("")).canonicalPath());
        QCOMPARE(ReadAll(FAnswer.toStdString()),
                 Header + "\r\n11\tThreeParameterLognormal\t4.600000000\t0.300000000\t20.000000000\t0.250000000" +
                     "\r\n12\tThreeParameterLognormal\t5.000000000\t0.500000000\t30.000000000\t0.250000000\r\n");
        QVERIFY(FTexts.isEmpty());
    }

    void displaysFollowTheSelectedCaseMix()
    {
        Open({{"m.txt", Mixed}, {"n.txt", Mixed}});
        for (int i = 0; i < 2; ++i)  // the file's path tells case mixes apart
            QCOMPARE(Combo("CaseMixCB")->itemData(i, Qt::ToolTipRole).toString(),
                     QFileInfo(CaseMixFile(i == 0 ? "m.txt" : "n.txt")).absoluteFilePath());
        // picking a case mix, and closing the batch window, set the type selector and its region
        Combo("CaseMixTypeCB")->setCurrentIndex(13);
        Combo("CaseMixCB")->setCurrentIndex(0);
        QVERIFY(Combo("CaseMixTypeCB")->currentIndex() == 0 && ShowsRegionOf(0));
        Combo("CaseMixTypeCB")->setCurrentIndex(9);
        FWindow->OpenBatchWindow = [](TMainWindow&) {};
        Click("GenerateXInstancesB");
        QVERIFY(Combo("CaseMixTypeCB")->currentIndex() == 0 && ShowsRegionOf(0));

        // a case mix added from a file or generated: no instance of the old one stays on show
        Generate(2);
        QVERIFY(!Chart().SurgeryPoints().isEmpty());
        WriteLines((ProgramDir() + "extra.txt").toStdString(), Mixed);
        FAnswer = ProgramDir() + "extra.txt";
        Click("LoadCaseMixB");
        QVERIFY(Combo("ShowInstanceNrCB")->count() == 0 && Chart().SurgeryPoints().isEmpty());
        QVERIFY(Chart().CenterOfMassPoints().isEmpty());
        QCOMPARE(Get<QLabel>("GenLoadT")->text(), QString("The generated load is: \u2013"));
        QCOMPARE(FWindow->StatusText(), QString("Case mix: extra"));
        QCOMPARE(Combo("CaseMixCB")->itemData(2, Qt::ToolTipRole).toString(), QFileInfo(FAnswer).absoluteFilePath());
        FAnswer = ProgramDir() + "missing.txt";  // nothing read: the status names the selected case mix
        Click("LoadCaseMixB");
        QCOMPARE(FWindow->StatusText(), QString("Case mix: extra"));
        Click("GenerateTheoreticalCaseMixB");
        QCOMPARE(FWindow->StatusText(), QString("Case mix: Theoretical case mix 1"));

        // an instance of another case mix: the selector lists that case mix's instances only
        Combo("CaseMixCB")->setCurrentIndex(0);
        Generate(2);
        FAnswer = ProgramDir() + "two.txt";
        WriteInstance(FAnswer, "n");
        FWindow->LoadInstanceBClick();
        QCOMPARE(FWindow->SelectedCaseMixIndex(), 1);
        QCOMPARE(Entries("ShowInstanceNrCB"), QStringList({"0"}));
        QCOMPARE(FWindow->StatusText(), QString("Case mix: n"));
        QCOMPARE(Chart().SurgeryPoints().size(), qsizetype(2));
    }

    // The window grows with its chart; the status-bar hint of the case mix is a whole sentence; the
    // About box names the version.
    void windowGrowsWithItsChartAndTheAboutBoxNamesTheVersion()
    {
        Open({{"m.txt", Mixed}});
        FWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(FWindow.get()));
        const QSize Before = Chart().size();
        FWindow->resize(FWindow->size() + QSize(300, 200));
        QTRY_VERIFY(Chart().width() >= Before.width() + 250 && Chart().height() >= Before.height() + 150);
        QCOMPARE(Combo("CaseMixCB")->statusTip(), QString("Select a case mix for which to generate instances."));
        FWindow->AboutMIClick();
        QVERIFY(!FTexts.isEmpty() && FTexts.last().startsWith(QString("Orbench ") + orbench::ProgramVersion + "\n"));
    }

    void hintGivesWayToTheCaseMixNameWhenADropDownIsUsed()
    {
        Open({{"m.txt", Mixed}});
        QComboBox* Type = Combo("CaseMixTypeCB");
        QEnterEvent Enter(QPointF(5, 5), QPointF(5, 5), Type->mapToGlobal(QPointF(5, 5)));
        QApplication::sendEvent(Type, &Enter);
        QCOMPARE(FWindow->StatusText(), Type->statusTip());
        Type->showPopup();
        QTRY_VERIFY(Type->view()->isVisible());
        QTest::keyClick(Type->view(), Qt::Key_Down);
        QTest::keyClick(Type->view(), Qt::Key_Return);
        QTRY_VERIFY(!Type->view()->isVisible());
        QCOMPARE(Type->currentIndex(), 1);
        QCOMPARE(FWindow->StatusText(), QString("Case mix: m"));
    }

    void loadReadsEitherSeparatorAndRefusesWhatCannotBeALoad_data()
    {
        QTest::addColumn<QString>("Text");
        QTest::addColumn<char>("Separator");
        QTest::addColumn<bool>("Accepted");
        QTest::newRow("comma, point locale") << "0,8" << '.' << true;
        QTest::newRow("point, point locale") << "0.8" << '.' << true;
        QTest::newRow("point, comma locale") << "0.8" << ',' << true;
        QTest::newRow("zero") << "0" << '.' << false;
        QTest::newRow("negative") << "-0,5" << '.' << false;
        QTest::newRow("no number") << "abc" << '.' << false;
    }

    void loadReadsEitherSeparatorAndRefusesWhatCannotBeALoad()
    {
        QFETCH(QString, Text);
        QFETCH(char, Separator);
        QFETCH(bool, Accepted);
        Open({{"m.txt", Mixed}});
        SetDecimalSeparator(Separator);
        Get<QLineEdit>("LoadLE")->setText(Text);
        Generate(1);
        if (Accepted) {
            QVERIFY(FTexts.isEmpty());
            QCOMPARE(Selected().Instances.Count(), 1);
            QCOMPARE(Selected().Instances[0]->DesiredLoad, 0.8);
        } else {  // refused where it is typed, naming the field
            QVERIFY(FTexts.isEmpty() && !Get<QPushButton>("GenerateInstanceB")->isEnabled());
            QCOMPARE(Get<QLabel>("InputProblemL")->text(),
                     "Load: a number greater than 0, please (it is \"" + Text + "\").");
            FWindow->GenerateInstanceBClick();  // a call that gets through is refused with the same words
            QCOMPARE(FTexts, QStringList({Get<QLabel>("InputProblemL")->text()}));
            QVERIFY(Selected().Instances.Empty() && Combo("ShowInstanceNrCB")->count() == 0);
        }
    }

    void zoomKeepsRoundTicksAndNeverShowsMoreThanTheUnitSquare()
    {
        Open({{"m.txt", Mixed}});
        QVERIFY(ShowsUnitSquare() && TicksAreReadable());
        QCOMPARE(TickLabels(Chart().AxisX()).first(), QString("0.0"));
        for (int Step = 1; Step <= 4; ++Step) {  // ever narrower rectangles, the last 0.0009 wide
            const QRectF Plot = Chart().chart()->plotArea();
            Chart().chart()->zoomIn(QRectF(Plot.left() + 0.3 * Plot.width(), Plot.top() + 0.4 * Plot.height(),
                                           0.17 * Plot.width(), 0.19 * Plot.height()));
            QVERIFY2(TicksAreReadable(), qPrintable(TickLabels(Chart().AxisX()).join(' ')));
        }
        QVERIFY(Chart().AxisX()->max() - Chart().AxisX()->min() < 0.001);
        QTest::mouseClick(Chart().viewport(), Qt::RightButton, {}, QPoint(Chart().width() - 30, 60));
        QVERIFY(ShowsUnitSquare());
        Wheel(120);
        QVERIFY(Chart().AxisX()->max() - Chart().AxisX()->min() < 1);
        for (int Step = 0; Step < 3; ++Step) Wheel(-120);
        QVERIFY(ShowsUnitSquare() && TicksAreReadable());
        Chart().chart()->zoomIn(QRectF(Chart().chart()->plotArea().center(), QSizeF(20, 20)));
        Click("UndoZoomB");
        QVERIFY(ShowsUnitSquare() && TicksAreReadable());
        // a right-click on a surgery opens its dialog and leaves the zoom as it was
        Generate(1);
        Wheel(120);
        const double Width = Chart().AxisX()->max() - Chart().AxisX()->min();
        TDialogVisit Visit;
        AnswerSurgeryDialog(FWindow.get(), Visit, {"1", "1", "1"}, false);
        QTest::mouseClick(Chart().viewport(), Qt::RightButton, {}, Chart().SurgeryPosition(0));
        QVERIFY(Visit.Seen && Width < 1 && Chart().AxisX()->max() - Chart().AxisX()->min() == Width);
    }

    void saveChartAsPictureWritesWhatTheChartShowsThroughTheFileDialog()
    {
        Open({{"m.txt", Mixed}});
        Generate(1);
        Wheel(120);  // zoomed in: the picture shows the zoom too
        QAction* Save = FWindow->findChild<QAction*>("SaveChartPictureMI");
        FAnswer = ProgramDir() + "chart.png";
        Save->trigger();
        QVERIFY(FRequests.size() == 1 && FRequests[0].Save && FTexts.isEmpty());
        const QImage Picture(FAnswer);
        QCOMPARE(Picture.size(), Chart().size() * 2);  // twice the pixels, for print
        const QImage Screen = Chart().grab().toImage();
        int Points = 0;
        for (int k = 0; k < Chart().SurgeryPoints().size(); ++k) {
            const QPoint At = Chart().SurgeryPosition(k);
            if (!Chart().chart()->plotArea().contains(At)) continue;
            ++Points;
            QCOMPARE(Picture.pixelColor(At * 2), Screen.pixelColor(At));
        }
        QVERIFY(Points > 0);
        QCOMPARE(Picture.pixelColor(Get<QPushButton>("UndoZoomB")->geometry().center() * 2), QColor(Qt::white));
        // SVG by its extension; another extension is refused and writes nothing
        FAnswer = ProgramDir() + "chart.svg";
        Save->trigger();
        QFile Svg(FAnswer);
        QVERIFY(Svg.open(QIODevice::ReadOnly));
        QXmlStreamReader Reader(&Svg);
        int Squares = 0;
        while (!Reader.atEnd())
            Squares += Reader.readNext() == QXmlStreamReader::StartElement && Reader.name() == u"rect";
        QVERIFY2(!Reader.hasError() && Squares >= Points, qPrintable(Reader.errorString()));
        FAnswer = ProgramDir() + "chart.txt";
        Save->trigger();
        QCOMPARE(FTexts, QStringList({"Error! The name of a picture must end in .svg or .png."}));
        QVERIFY(!QFile::exists(FAnswer));
    }

    void chartShowsTheCentreOfMassWholeAndItsControlsOnIt()
    {
        Open({{"m.txt", Mixed}});
        const TInstance& Empty = *Selected().CreateAndAddInstance(0, 0.8, 10);
        Chart().PlotInstance(Empty);  // its centre of mass lies at the origin, on both axes
        QCOMPARE(Chart().CenterOfMassPoints(), QVector<QPointF>({QPointF(0, 0)}));
        const QImage Image = Chart().grab().toImage();
        const QPoint Centre = Chart().CenterOfMassPosition();
        for (const QPoint Offset : {QPoint(-2, 2), QPoint(2, -2), QPoint(-2, -2), QPoint(2, 2)})
            QVERIFY2(Image.pixelColor(Centre + Offset) == QColor(243, 156, 53),
                     qPrintable(QString("at %1, %2").arg(Offset.x()).arg(Offset.y())));
        // the button and the key lie on the white chart, clear of its edges
        for (const char* Name : {"UndoZoomB", "CenterOfMassKey", "CenterOfMassKeyDot"}) {
            const QRect Box = Chart().findChild<QWidget*>(Name)->geometry().adjusted(-3, -3, 3, 3);
            for (const QPoint Corner : {Box.topLeft(), Box.topRight(), Box.bottomLeft(), Box.bottomRight()})
                QVERIFY2(Image.pixelColor(Corner) == QColor(Qt::white), Name);
        }
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
