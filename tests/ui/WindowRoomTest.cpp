// Every window and the dialog, as a user meets them: no label, button, check box, field or grid
// cell has less room than its text needs, from the start state through generating, a batch run
// and an analysis.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>
#include <filesystem>
#include <memory>

#include "BatchWindow.h"
#include "MainWindow.h"
#include "OverlapWindow.h"
#include "SurgeryInfoDialog.h"
#include "TestHelpers.h"
#include "UiTestHelpers.h"

using namespace orbench::ui;

class WindowRoomTest : public QObject {
    Q_OBJECT

    static void ExpectRoom(QWidget* Window, const char* State)
    {
        Window->show();
        QVERIFY2(QTest::qWaitForWindowExposed(Window), State);
        QCoreApplication::processEvents();
        const QStringList Cramped = orbench::testing::RoomProblems(Window);
        QVERIFY2(Cramped.isEmpty(), qPrintable(QString(State) + ": " + Cramped.join("; ")));
    }

private slots:
    void everyWindowGivesItsTextsRoom()
    {
        orbench::SetDecimalSeparator('.');
        SetMessageBoxHandler([](TBoxKind, const QString& Text) { QFAIL(qPrintable("message box: " + Text)); });
        orbench::testing::TTempDir Dir;
        std::filesystem::create_directories(Dir.File("casemixes"));
        const std::vector<std::string> CaseMix = {"ID\tDistributionType\tP1\tP2\tP3\tFrequency",
                                                  "1\tThreeParameterLognormal\t4.444241790\t0.715875095\t90\t1",
                                                  "2\tNormal\t240\t110\t0\t1",
                                                  "3\tNormal\t300\t200\t0\t1",
                                                  "4\tNormal\t65\t13\t0\t1",
                                                  "5\tNormal\t90\t50\t0\t1"};
        orbench::testing::WriteLines(Dir.File("casemixes/orthopaedics_and_traumatology_of_a_large_hospital.txt"),
                                     CaseMix);
        orbench::testing::WriteLines(Dir.File("casemixes/short.txt"), CaseMix);
        orbench::TData Data;
        TMainWindow Main(Data, QString::fromStdString(Dir.Path()));
        ExpectRoom(&Main, "main window at start");

        Main.findChild<QComboBox*>("CaseMixTypeCB")->setCurrentIndex(13);
        Main.findChild<QSpinBox*>("NumInstancesSE")->setValue(12);
        Main.GenerateInstanceBClick();
        QCOMPARE(Main.SelectedCaseMix()->Instances.Count(), 12);
        ExpectRoom(&Main, "main window after generating at type 13");

        {
            TSurgeryInfoDialog Dialog(&Main);
            Dialog.FillFromCaller(4.44424179, 0.715875095, 90, 200.0 / 1440, 90.0 / 1440, 200.000000003103,
                                  89.999999984224);
            ExpectRoom(&Dialog, "surgery dialog as opened");
            Dialog.SetP2Text("13");
            ExpectRoom(&Dialog, "surgery dialog after editing");
        }

        {
            TBatchWindow Batch(Main);
            Batch.BaseDirectory = QString::fromStdString(Dir.File("out/"));
            ExpectRoom(&Batch, "batch window at start");
            auto* CaseMixes = Batch.findChild<QListWidget*>("CaseMixCLB");
            CaseMixes->item(0)->setCheckState(Qt::Checked);
            CaseMixes->item(0)->setSelected(true);
            Batch.findChild<QPushButton*>("ClearNumOpB")->click();
            for (const auto& [Name, Text] :
                 {std::pair("NumOpFromE", "2"), std::pair("NumOpToE", "3"), std::pair("NumInstancesPerSettingLE", "6"),
                  std::pair("NumInstancesToSelectFromLE", "3")})
                Batch.findChild<QLineEdit*>(Name)->setText(Text);
            Batch.findChild<QPushButton*>("AddNumOpB")->click();
            Batch.GoBClick();
            QVERIFY(std::filesystem::exists(Dir.File("out/orthopaedics_and_traumatology_of_a_large_hospital")));
            ExpectRoom(&Batch, "batch window after a run");
        }

        {
            TOverlapWindow Overlap(Main);
            ExpectRoom(&Overlap, "overlap window at start");
            Overlap.findChild<QCheckBox*>("SelectCasesCB")->setChecked(true);
            Overlap.AnalyzeOverlapBClick();
            QCOMPARE(Overlap.Grid()->rowCount(), 12);
            ExpectRoom(&Overlap, "overlap window after an analysis and a selection");
        }
        SetMessageBoxHandler({});
    }
};

QTEST_MAIN(WindowRoomTest)
#include "WindowRoomTest.moc"
