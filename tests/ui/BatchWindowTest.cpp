// The batch window: its three lists and their commands, loading a case mix, and the runs as the
// window drives them (refusals, the output tree, the button, the gauge and stopping a run).
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <set>
#include <memory>

#include "BatchWindow.h"
#include "InstanceFill.h"
#include "InstalledLayout.h"
#include "MainWindow.h"
#include "TestHelpers.h"
#include "UiTestHelpers.h"

namespace fs = std::filesystem;
using namespace orbench::ui;

namespace {

// Four surgery types of one to four hours: instances of two to four OR-days are quick to make.
void WriteCaseMix(const std::string& FileName)
{
    orbench::testing::WriteLines(
        FileName, {"ID\tDistributionType\tP1\tP2\tP3\tFrequency", "1\tNormal\t60\t6\t0\t1", "2\tNormal\t70\t14\t0\t1",
                   "3\tNormal\t100\t10\t0\t1", "4\tNormal\t240\t24\t0\t1"});
}

QStringList Texts(const QListWidget* List)
{
    QStringList Result;
    for (int i = 0; i < List->count(); ++i) Result << List->item(i)->text();
    return Result;
}

const QStringList DefaultORdays{"5", "10", "15", "20", "25", "30", "35", "40"};

}  // namespace

class BatchWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<orbench::testing::TTempDir> Dir;
    std::unique_ptr<orbench::TData> Data;
    std::unique_ptr<TMainWindow> Main;
    std::unique_ptr<TBatchWindow> Window;
    QList<TBoxKind> BoxKinds;
    QStringList Boxes;
    QStringList Questions;
    bool Answer = false;

    template <class T>
    T* Get(const char* Name)
    {
        T* Control = Window->findChild<T*>(Name);
        if (Control == nullptr) qFatal("The batch window has no %s", Name);
        return Control;
    }
    QListWidget* List(const char* Name) { return Get<QListWidget>(Name); }
    void Set(const char* Name, const QString& Text) { Get<QLineEdit>(Name)->setText(Text); }
    void Click(const char* Name) { Get<QPushButton>(Name)->click(); }
    void Trigger(const char* Name) { Get<QAction>(Name)->trigger(); }
    QStringList Messages() { return Get<QPlainTextEdit>("MessagesM")->toPlainText().split('\n', Qt::SkipEmptyParts); }
    bool GaugeShown() { return Get<QProgressBar>("Gauge1")->isVisibleTo(Window.get()); }
    std::string Out(const std::string& Name) const { return Dir->File("out/" + Name); }
    orbench::TCaseMix& Alpha() { return *Data->CaseMixes.at(0); }

    // alpha checked and selected; OR-days From..To, loads 0.8 and 1, 4 instances per combination, select 2.
    bool PrepareRun(const QString& From, const QString& To)
    {
        List("CaseMixCLB")->item(0)->setCheckState(Qt::Checked);
        List("CaseMixCLB")->item(0)->setSelected(true);
        Click("ClearNumOpB");
        Set("NumOpFromE", From), Set("NumOpToE", To), Set("NumOpByE", "1");
        Click("AddNumOpB");
        Click("ClearLoadB");
        Set("LoadFromE", "0.8"), Set("LoadToE", "1"), Set("LoadByE", "0.2");
        Click("AddLoadB");
        Set("NumInstancesPerSettingLE", "4");
        Set("NumInstancesToSelectFromLE", "2");
        return Texts(List("LoadLB")) == QStringList({"0.8", "1"}) && List("NumOperatingRoomsLB")->count() > 0;
    }

private slots:
    void init()
    {
        orbench::SetDecimalSeparator('.');
        BoxKinds.clear(), Boxes.clear();
        SetMessageBoxHandler([this](TBoxKind Kind, const QString& Text) { BoxKinds << Kind, Boxes << Text; });
        SetFileDialogHandler([](const TFileDialogRequest&) { return QString(); });
        Questions.clear();
        Answer = false;
        SetQuestionHandler([this](const QString& Text) { return Questions << Text, Answer; });
        Dir = std::make_unique<orbench::testing::TTempDir>();
        fs::create_directories(Dir->File("casemixes"));
        WriteCaseMix(Dir->File("casemixes/alpha.txt"));
        WriteCaseMix(Dir->File("casemixes/beta.txt"));
        Data = std::make_unique<orbench::TData>();
        Main = std::make_unique<TMainWindow>(*Data, QString::fromStdString(Dir->Path()));
        QSettings().remove("BatchWindow");  // every test starts from the defaults
        Window = std::make_unique<TBatchWindow>(*Main);
        Window->BaseDirectory = QString::fromStdString(Out(""));
    }

    void cleanup()
    {
        Window.reset(), Main.reset(), Data.reset(), Dir.reset();
        SetMessageBoxHandler({});
        SetFileDialogHandler({});
        SetQuestionHandler({});
        orbench::SetDecimalSeparator('.');
    }

    void opensWithUncheckedCaseMixesAndTheDefaultLists()
    {
        QCOMPARE(Texts(List("CaseMixCLB")), QStringList({"alpha", "beta"}));
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(List("CaseMixCLB")->item(i)->checkState(), Qt::Unchecked);
            QCOMPARE(
                List("CaseMixCLB")->item(i)->toolTip(),
                QString::fromStdString(fs::absolute(Dir->File(i == 0 ? "casemixes/alpha.txt" : "casemixes/beta.txt"))));
        }
        QCOMPARE(List("CaseMixCLB")->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(Texts(List("NumOperatingRoomsLB")), DefaultORdays);
        QCOMPARE(Texts(List("LoadLB")),
                 QStringList({"0.80", "0.85", "0.90", "0.95", "1.00", "1.05", "1.10", "1.15", "1.20"}));
        QCOMPARE(Get<QPushButton>("GoB")->text(), QString("&Go!"));
        QCOMPARE(Get<QComboBox>("EngineCB")->currentText(), QString("exact"));
        QVERIFY(!GaugeShown() && !Window->Running());
    }

    void rangesAreAppendedInclusivelyAndInvalidFieldsIgnored()
    {
        Set("NumOpFromE", "10"), Set("NumOpToE", "40"), Set("NumOpByE", "10");
        Click("AddNumOpB");
        QCOMPARE(Texts(List("NumOperatingRoomsLB")), DefaultORdays + QStringList({"10", "20", "30", "40"}));
        Trigger("RemoveDoubleEntriesNumOpMI");
        QCOMPARE(Texts(List("NumOperatingRoomsLB")), DefaultORdays);
        Set("NumOpFromE", "50");  // from beyond to
        Click("AddNumOpB");
        Set("NumOpFromE", "1"), Set("NumOpByE", "x");
        Click("AddNumOpB");
        QCOMPARE(Texts(List("NumOperatingRoomsLB")), DefaultORdays);
        // A range that cannot be added is named under its fields, its "Add" off until it can.
        for (const char* By : {"x", "0", "-1"}) {
            Set("NumOpByE", By);
            QVERIFY2(
                !Get<QPushButton>("AddNumOpB")->isEnabled() && Get<QLabel>("NumOpProblemL")->isVisibleTo(Window.get()),
                By);
        }
        QCOMPARE(Get<QLabel>("NumOpProblemL")->text(), QString("The step (by) must be at least 1."));
        Set("NumOpByE", "1");
        QVERIFY(Get<QPushButton>("AddNumOpB")->isEnabled() && !Get<QLabel>("NumOpProblemL")->isVisibleTo(Window.get()));
        for (const char* By : {"0", "-0.1", "abc"}) {
            Set("LoadByE", By);
            QVERIFY2(!Get<QPushButton>("AddLoadB")->isEnabled(), By);
        }
        QCOMPARE(Get<QLabel>("LoadProblemL")->text(), QString("From, to and by must be numbers."));
        Set("LoadByE", "0.1");

        Click("ClearLoadB");
        QCOMPARE(List("LoadLB")->count(), 0);
        Click("AddLoadB");  // the default fields 0.8 to 1.2 by 0.1
        QCOMPARE(Texts(List("LoadLB")), QStringList({"0.8", "0.9", "1", "1.1", "1.2"}));
        Set("LoadByE", "0.05");
        Click("AddLoadB");
        QCOMPARE(List("LoadLB")->count(), 5 + 9);
        QCOMPARE(List("LoadLB")->item(13)->text(), QString("1.2"));
        Set("LoadToE", "abc");
        Click("AddLoadB");
        QCOMPARE(List("LoadLB")->count(), 14);
        QVERIFY(Boxes.isEmpty());
    }

    void sortingAndRemovingDoublesAreNumericAndNormaliseTheTexts()
    {
        Set("NumOpFromE", "1"), Set("NumOpToE", "3"), Set("NumOpByE", "1");
        Click("AddNumOpB");
        Click("SortNumOpB");
        QCOMPARE(Texts(List("NumOperatingRoomsLB")), QStringList({"1", "2", "3"}) + DefaultORdays);

        Click("SortLoadB");
        QCOMPARE(Texts(List("LoadLB")), QStringList({"0.8", "0.85", "0.9", "0.95", "1", "1.05", "1.1", "1.15", "1.2"}));
        List("LoadLB")->clear();
        List("LoadLB")->addItems({"0.95", "0.80", "1.20"});
        Trigger("SortLoadMI");
        QCOMPARE(Texts(List("LoadLB")), QStringList({"0.8", "0.95", "1.2"}));
        List("LoadLB")->addItems({"0.80", "1.00", "1", "0,8"});
        Trigger("RemoveDoubleEntriesLoadMI");
        QCOMPARE(Texts(List("LoadLB")), QStringList({"0.8", "0.95", "1", "1.2"}));

        orbench::SetDecimalSeparator(',');
        List("LoadLB")->clear();
        List("LoadLB")->addItems({"1.00", "0.80", "0,9"});
        Click("SortLoadB");
        QCOMPARE(Texts(List("LoadLB")), QStringList({"0,8", "0,9", "1"}));
    }

    void removeThisItemTakesTheCurrentEntryAndClearEmptiesTheList()
    {
        List("NumOperatingRoomsLB")->setCurrentRow(2);
        Trigger("RemoveThisItemNumOpMI");
        QCOMPARE(Texts(List("NumOperatingRoomsLB")), QStringList({"5", "10", "20", "25", "30", "35", "40"}));
        List("LoadLB")->setCurrentRow(8);
        Trigger("RemoveThisItemLoadMI");
        List("LoadLB")->setCurrentRow(0);
        Trigger("RemoveThisItemLoadMI");
        QCOMPARE(Texts(List("LoadLB")), QStringList({"0.85", "0.90", "0.95", "1.00", "1.05", "1.10", "1.15"}));

        Trigger("ClearNumOpMI");
        Trigger("ClearLoadMI");
        QVERIFY(List("NumOperatingRoomsLB")->count() == 0 && List("LoadLB")->count() == 0);
        Trigger("RemoveThisItemNumOpMI");
        Trigger("RemoveThisItemLoadMI");
        QVERIFY(List("NumOperatingRoomsLB")->count() == 0 && List("LoadLB")->count() == 0);
    }

    void selectAllAndNoneSetOnlyTheCheckMarks()
    {
        QListWidget* CaseMixes = List("CaseMixCLB");
        CaseMixes->item(1)->setSelected(true);
        Trigger("SelectAllCaseMixesMI");
        QVERIFY(CaseMixes->item(0)->checkState() == Qt::Checked && CaseMixes->item(1)->checkState() == Qt::Checked);
        QVERIFY(!CaseMixes->item(0)->isSelected() && CaseMixes->item(1)->isSelected());
        Trigger("SelectNoneCaseMixesMI");
        QVERIFY(CaseMixes->item(0)->checkState() == Qt::Unchecked && CaseMixes->item(1)->checkState() == Qt::Unchecked);
        QVERIFY(!CaseMixes->item(0)->isSelected() && CaseMixes->item(1)->isSelected());
    }

    void loadingACaseMixAppendsAnUncheckedEntry()
    {
        QString Answer;
        TFileDialogRequest Asked;
        SetFileDialogHandler([&](const TFileDialogRequest& Request) { return Asked = Request, Answer; });
        Click("LoadCaseMixB");  // cancelled
        QVERIFY(!Asked.Save);
        QCOMPARE(Asked.DefaultSuffix, QString("txt"));
        QCOMPARE(Texts(List("CaseMixCLB")), QStringList({"alpha", "beta"}));
        QCOMPARE(Data->CaseMixes.size(), std::size_t(2));

        Answer = QString::fromStdString(Dir->File("missing.txt"));
        Click("LoadCaseMixB");
        QCOMPARE(Boxes, QStringList({"File does not exist!"}));
        QCOMPARE(List("CaseMixCLB")->count(), 2);

        WriteCaseMix(Dir->File("gamma.txt"));
        Answer = QString::fromStdString(Dir->File("gamma.txt"));
        Click("LoadCaseMixB");
        QCOMPARE(Texts(List("CaseMixCLB")), QStringList({"alpha", "beta", "gamma"}));
        QCOMPARE(List("CaseMixCLB")->item(2)->checkState(), Qt::Unchecked);
        QCOMPARE(Data->CaseMixes.size(), std::size_t(3));
        QCOMPARE(Data->CaseMixes.back()->Name, std::string("gamma"));
        List("CaseMixCLB")->item(2)->setCheckState(Qt::Checked);
        QCOMPARE(Window->CheckedCaseMixes(), std::vector<orbench::TCaseMix*>{Data->CaseMixes[2].get()});
    }

    void runWritesInstancesReportsAndMarksAndFreesItsOwnInstances()
    {
        QVERIFY(PrepareRun("2", "2"));
        // Made earlier in the main window for the run's own combination and saved outside the tree:
        // the run leaves it alone (in memory, its file, its name) and selects among its own four.
        orbench::GenerateAndAddInstances(Alpha(), 0, 1, 2, 480, 0.8);
        QCOMPARE(Alpha().Instances.Count(), 1);
        orbench::TInstance* Earlier = Alpha().Instances[0];
        Earlier->FileName = Dir->File("elsewhere/inst.txt");
        fs::create_directories(Dir->File("elsewhere"));
        Earlier->SaveInstance();
        const std::string EarlierBytes = orbench::testing::ReadAll(Earlier->FileName);
        QString Caption;
        bool Gauge = false, ListsEnabled = true, OtherRunEnabled = true, Running = false;
        int Maximum = -1;
        QTimer::singleShot(0, Window.get(), [&] {  // fires at the run's first check point
            Caption = Get<QPushButton>("GoB")->text(), Gauge = GaugeShown(), Running = Window->Running();
            Maximum = Get<QProgressBar>("Gauge1")->maximum();
            ListsEnabled = List("LoadLB")->isEnabled() || List("CaseMixCLB")->isEnabled();
            OtherRunEnabled = Get<QPushButton>("GenTheorInstB")->isEnabled();
        });
        Window->GoBClick();
        QVERIFY(Caption == "&STOP" && Gauge && Running && !ListsEnabled && !OtherRunEnabled);
        QCOMPARE(Maximum, 1);  // one checked case mix times one number of OR-days

        for (const std::string Load : {"0.8", "1"}) {
            int Marked = 0;
            for (int k = 1; k <= 4; ++k) {
                const std::string Name = "ordays_2_load_" + Load + "_" + std::to_string(k) + ".txt";
                const bool Plain = fs::exists(Out("alpha/" + Name)), Removed = fs::exists(Out("alpha/REMOVE_" + Name));
                QVERIFY2(Plain != Removed, Name.c_str());
                Marked += Removed;
            }
            QCOMPARE(Marked, 2);
            const std::string Report = Out("alpha/overlap_alpha_ordays_2_load_" + Load + ".txt");
            QVERIFY(orbench::testing::ReadAll(Report).starts_with("Overlap between 4 instances:\r\n"));
        }
        QVERIFY(!fs::exists(Out("beta")));
        QCOMPARE(Alpha().Instances.Count(), 1);
        QCOMPARE(Alpha().Instances[0], Earlier);
        QCOMPARE(Earlier->FileName, Dir->File("elsewhere/inst.txt"));
        QCOMPARE(orbench::testing::ReadAll(Earlier->FileName), EarlierBytes);
        QCOMPARE(fs::directory_iterator(Dir->File("elsewhere"))->path().filename().string(), std::string("inst.txt"));
        QVERIFY(Boxes.isEmpty());
        // the summary counts what this run wrote, also over the files of an earlier run
        const QString Summary = "Run finished: 8 instances written, 4 kept, 4 marked REMOVE_, 2 reports written, ";
        QCOMPARE(Messages().size(), 1);
        QVERIFY2(Messages()[0].startsWith(Summary) && Messages()[0].endsWith(" s."), qPrintable(Messages()[0]));
        // a second run into the same folder asks first: "No" leaves every file as it is ...
        const auto Listing = [this] {
            std::set<std::string> Names;
            for (const auto& Entry : fs::directory_iterator(Out("alpha"))) Names.insert(Entry.path().filename());
            return Names;
        };
        const std::set<std::string> FirstRun = Listing();
        Window->GoBClick();
        QVERIFY2(Questions.size() == 1 && Questions[0].contains(QString::fromStdString(Out("alpha/")) + "  (11 files)"),
                 qPrintable(Questions.join('\n')));
        QVERIFY(Messages().size() == 2 && Messages()[1].startsWith("Run not started: "));
        QVERIFY(Listing() == FirstRun && Boxes.isEmpty());
        // ... and "Yes" deletes the earlier run's files, then runs
        Answer = true;
        Window->GoBClick();
        QCOMPARE(Questions.size(), 2);
        QVERIFY2(Messages().size() == 3 && Messages()[2].startsWith(Summary), qPrintable(Messages().join('\n')));
        QVERIFY(!GaugeShown() && !Window->Running());
        QCOMPARE(Get<QPushButton>("GoB")->text(), QString("&Go!"));
        QVERIFY(List("LoadLB")->isEnabled() && Get<QPushButton>("GenTheorInstB")->isEnabled());
    }

    void invalidInputsAreRefusedBeforeAnythingIsWritten()
    {
        List("CaseMixCLB")->item(0)->setCheckState(Qt::Checked);
        Window->GoBClick();
        QCOMPARE(Messages(), QStringList({"No case mix selected. Aborting."}));
        List("CaseMixCLB")->item(0)->setSelected(true);
        Set("NumInstancesPerSettingLE", "30.5");
        Window->GoBClick();
        QCOMPARE(Messages(), QStringList({"No case mix selected. Aborting.",
                                          "The number of instances has to be integer. Aborting."}));
        QVERIFY(!fs::exists(Out("")) && Boxes.isEmpty());

        Set("NumInstancesPerSettingLE", "4");
        Set("EpsilonLE", "abc");
        Window->GoBClick();
        QCOMPARE(BoxKinds, QList<TBoxKind>({TBoxKind::bkError}));
        QVERIFY(!fs::exists(Out("alpha")));
        QCOMPARE(Get<QPushButton>("GoB")->text(), QString("&Go!"));
        QVERIFY(!GaugeShown() && !Window->Running() && List("LoadLB")->isEnabled());
        QCOMPARE(Messages().size(), 2);
    }

    void overwriteQuestionNamesEveryFolderItWouldClear()
    {
        QVERIFY(PrepareRun("2", "2"));
        List("CaseMixCLB")->item(1)->setCheckState(Qt::Checked);
        Window->GoBClick();
        QCOMPARE(Messages().size(), 1);
        fs::remove(Out("alpha/overlap_alpha_ordays_2_load_1.txt"));  // the folders differ in their counts
        const QString Alpha = QString::fromStdString(Out("alpha/")), Beta = QString::fromStdString(Out("beta/"));
        Window->GoBClick();
        QCOMPARE(Questions.size(), 1);
        QVERIFY2(Questions[0].contains(Alpha + "  (10 files)\n" + Beta + "  (11 files)\n"), qPrintable(Questions[0]));
        QCOMPARE(Messages().last(), "Run not started: " + Alpha + ", " + Beta + " hold files of an earlier run.");
        Answer = true;
        Window->GoBClick();
        QVERIFY2(
            Messages().last().startsWith("Run finished: 16 instances written, 8 kept, 8 marked REMOVE_, 4 reports"),
            qPrintable(Messages().join('\n')));
        for (const char* Folder : {"alpha", "beta"})
            QCOMPARE(std::distance(fs::directory_iterator(Out(Folder)), fs::directory_iterator()), 11);
    }

    void optionsAndListsAreKeptBetweenOpenings()
    {
        Set("NumInstancesPerSettingLE", "7"), Set("EpsilonLE", "0.02"), Set("LoadByE", "0.05");
        Get<QCheckBox>("DeterministicDistanceCB")->setChecked(true);
        Get<QComboBox>("EngineCB")->setCurrentIndex(1);
        Click("ClearLoadB");
        List("LoadLB")->addItems({"0.9", "1.1"});
        List("CaseMixCLB")->item(1)->setCheckState(Qt::Checked);
        Window.reset();
        Window = std::make_unique<TBatchWindow>(*Main);
        QCOMPARE(Get<QLineEdit>("NumInstancesPerSettingLE")->text(), QString("7"));
        QCOMPARE(Get<QLineEdit>("EpsilonLE")->text(), QString("0.02"));
        QCOMPARE(Get<QLineEdit>("LoadByE")->text(), QString("0.05"));
        QVERIFY(Get<QCheckBox>("DeterministicDistanceCB")->isChecked() &&
                Get<QCheckBox>("SaveInstancesCB")->isChecked());
        QCOMPARE(Get<QComboBox>("EngineCB")->currentText(), QString("solver"));
        QCOMPARE(Texts(List("LoadLB")), QStringList({"0.9", "1.1"}));
        QCOMPARE(Texts(List("NumOperatingRoomsLB")), DefaultORdays);
        QCOMPARE(Window->CheckedCaseMixes(), std::vector<orbench::TCaseMix*>{Data->CaseMixes[1].get()});
        // What the options say: nothing is deleted; the case-mix-type box does nothing.
        QVERIFY(Get<QCheckBox>("RemoveInstancesCB")->toolTip().contains("No file is deleted"));
        QVERIFY(!Get<QCheckBox>("CaseMixTypeCB")->isEnabled());
        QVERIFY(Get<QCheckBox>("CaseMixTypeCB")->toolTip().startsWith("Not used"));
    }

    void outputFolderOfAnInstalledProgramIsShownChosenUsedAndKept()
    {
        const orbench::testing::TInstalledLayout Layout;
        WriteCaseMix((Layout.SharedCaseMixFolder() + "alpha.txt").toStdString());
        Window.reset(), Main.reset();
        QSettings().remove("BatchWindow");
        Data = std::make_unique<orbench::TData>();
        Main = std::make_unique<TMainWindow>(*Data, Layout.ProgramFolder());
        Window = std::make_unique<TBatchWindow>(*Main);
        auto* Field = Get<QLineEdit>("OutputFolderLE");
        const QString Default = Layout.Documents() + "orbench/instances/";
        QVERIFY(Field->isReadOnly());
        QCOMPARE(Field->text(), Default);
        // the folder chooser opens at the folder; cancelling keeps it
        QList<TFileDialogRequest> Requests;
        QString Answer;
        SetFileDialogHandler([&](const TFileDialogRequest& Request) { return Requests << Request, Answer; });
        Click("ChangeOutputFolderB");
        QCOMPARE(Field->text(), Default);
        const QString Runs = Layout.Root() + "runs";
        Answer = Runs;
        Click("ChangeOutputFolderB");
        QVERIFY(Requests.size() == 2 && Requests[0].Folder && !Requests[0].Save && Requests[0].Directory == Default);
        QCOMPARE(Field->text(), Runs + "/");
        // a run of one case mix, one OR-day, one load and two instances writes there
        List("CaseMixCLB")->item(0)->setCheckState(Qt::Checked);
        List("CaseMixCLB")->item(0)->setSelected(true);
        Click("ClearNumOpB");
        Set("NumOpFromE", "1"), Set("NumOpToE", "1");
        Click("AddNumOpB");
        Click("ClearLoadB");
        Set("LoadFromE", "0.8"), Set("LoadToE", "0.8");
        Click("AddLoadB");
        Set("NumInstancesPerSettingLE", "2");
        Get<QCheckBox>("AnalyzeOverlapCB")->setChecked(false);
        Window->GoBClick();
        QVERIFY2(Messages().size() == 1 && Messages()[0].startsWith("Run finished: 2 instances written"),
                 qPrintable(Messages().join('\n')));
        for (const char* Name : {"ordays_1_load_0.8_1.txt", "ordays_1_load_0.8_2.txt"})
            QVERIFY2(QFileInfo::exists(Runs + "/alpha/" + Name), Name);
        QVERIFY(!QDir(Layout.Documents()).exists() && Boxes.isEmpty());
        // kept for the next opening
        Window.reset();
        Window = std::make_unique<TBatchWindow>(*Main);
        QCOMPARE(Get<QLineEdit>("OutputFolderLE")->text(), Runs + "/");
        QCOMPARE(Window->BaseDirectory, Runs + "/");
    }

    void settingsTheRunRefusesAreNamedByTheirFields()
    {
        QVERIFY(PrepareRun("2", "2"));
        const std::pair<const char*, QString> Cases[] = {
            {"LoadLB", "The load 0 (list \"Load\") must be greater than 0."},
            {"MaxLoadDeviationLE", "\"Maximum deviation from load:\" must be greater than 0 (it is 0)."},
            {"EpsilonLE", "\"Epsilon (from [0,1])\" must not be negative (it is -0.5)."},
        };
        for (const auto& [Field, Message] : Cases) {
            Boxes.clear();
            QVERIFY(PrepareRun("2", "2"));
            Set("MaxLoadDeviationLE", "0.025"), Set("EpsilonLE", "0.01");
            if (QString(Field) == "LoadLB") List("LoadLB")->addItem("0");
            if (QString(Field) == "MaxLoadDeviationLE") Set(Field, "0");
            if (QString(Field) == "EpsilonLE") Set(Field, "-0,5");
            Window->GoBClick();
            QCOMPARE(Boxes, QStringList{Message});
            QVERIFY(!fs::exists(Out("")));
        }
    }

    void runEndingWithAnErrorShowsItAndReturnsToIdle()
    {
        QVERIFY(PrepareRun("2", "2"));
        fs::create_directories(Out("alpha/overlap_alpha_ordays_2_load_0.8.txt"));  // the report cannot be written
        Window->GoBClick();
        QCOMPARE(BoxKinds, QList<TBoxKind>({TBoxKind::bkError}));
        QCOMPARE(Get<QPushButton>("GoB")->text(), QString("&Go!"));
        QVERIFY(!GaugeShown() && !Window->Running());
        QVERIFY(List("CaseMixCLB")->isEnabled() && Get<QPushButton>("GenTheorInstB")->isEnabled());
        QCOMPARE(Alpha().Instances.Count(), 0);
    }

    void stopEndsTheRunAtTheNextCheckPoint_data()
    {
        QTest::addColumn<QString>("How");
        QTest::newRow("STOP button") << "button";
        QTest::newRow("Escape") << "escape";
        QTest::newRow("closing the window") << "close";
    }

    void stopEndsTheRunAtTheNextCheckPoint()
    {
        QFETCH(QString, How);
        QVERIFY(PrepareRun("2", "4"));
        Window->show();
        QString Caption;
        QTimer::singleShot(0, Window.get(), [&] {  // fires during the analysis of load 0.8 at 2 OR-days
            Caption = Get<QPushButton>("GoB")->text();
            if (How == "button")
                Get<QPushButton>("GoB")->click();
            else if (How == "escape")
                QTest::keyClick(Window.get(), Qt::Key_Escape);
            else
                Window->close();
        });
        Window->GoBClick();
        QCOMPARE(Caption, QString("&STOP"));
        QCOMPARE(Messages().mid(0, 2),
                 QStringList({"Instance generation interrupted...",
                              "Instance generation interrupted after case mix alpha, #ORdays: 2"}));
        // The summary tells the chosen, marked and never analysed files apart.
        QVERIFY2(
            Messages().size() == 3 && Messages()[2].startsWith("Run stopped: 8 instances written (2 selected, 2 "
                                                               "marked REMOVE_, 4 not analysed), 1 reports written, "),
            qPrintable(Messages().join('\n')));
        QVERIFY(fs::exists(Out("alpha/overlap_alpha_ordays_2_load_0.8.txt")));
        QVERIFY(!fs::exists(Out("alpha/overlap_alpha_ordays_2_load_1.txt")));
        for (const char* Name : {"ordays_3_load_0.8_1.txt", "REMOVE_ordays_3_load_0.8_1.txt"})
            QVERIFY2(!fs::exists(Out(std::string("alpha/") + Name)), Name);
        QCOMPARE(Alpha().Instances.Count(), 0);
        QVERIFY(!Window->Running() && !GaugeShown());
        QCOMPARE(Get<QPushButton>("GoB")->text(), QString("&Go!"));
        QCOMPARE(Window->isVisible(), How == "button");
        if (How != "button") QCOMPARE(Window->result(), int(QDialog::Accepted));
    }

    void runButtonsKeepTheirSizeAndPlaceWhileRunning_data()
    {
        QTest::addColumn<QString>("Button");
        QTest::newRow("Go!") << "GoB";
        QTest::newRow("Generate Theor. Inst.") << "GenTheorInstB";
    }

    void runButtonsKeepTheirSizeAndPlaceWhileRunning()
    {
        QFETCH(QString, Button);
        QVERIFY(PrepareRun("2", "2"));
        Window->show();
        QVERIFY(QTest::qWaitForWindowExposed(Window.get()));
        auto* Go = Get<QPushButton>("GoB");
        auto* Theoretical = Get<QPushButton>("GenTheorInstB");
        const QRect GoBox = Go->geometry(), TheoreticalBox = Theoretical->geometry();
        QString Caption;
        QStringList Cramped;
        bool Same = false;
        QTimer::singleShot(0, Window.get(), [&] {
            Caption = Get<QPushButton>(qPrintable(Button))->text();
            Same = Go->geometry() == GoBox && Theoretical->geometry() == TheoreticalBox;
            Cramped = orbench::testing::RoomProblems(Window.get());
        });
        Get<QPushButton>(qPrintable(Button))->click();
        QCOMPARE(Caption, QString("&STOP"));
        QVERIFY(Same);
        QVERIFY2(Cramped.isEmpty(), qPrintable(Cramped.join("; ")));
        QVERIFY(Go->geometry() == GoBox && Theoretical->geometry() == TheoreticalBox);
    }
};

QTEST_MAIN(BatchWindowTest)
#include "BatchWindowTest.moc"
