#pragma once

#include <QMainWindow>
#include <QString>
#include <functional>

#include "ProgramFolders.h"
#include "UiServices.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace orbench {
class TData;
class TCaseMix;
class TInstance;
}  // namespace orbench

namespace orbench::ui {

class TSurgeryChart;

// The program's main window: reads the case mixes of its case-mix folders at start (beside the
// program, or shared and the user's own once installed: FindProgramFolders), lets the user set the
// OR-day, pick a case mix and a case-mix type, generate, show, save and load instances, add,
// generate and save case mixes, and opens the batch and overlap windows.
class TMainWindow : public QMainWindow {
    Q_OBJECT

public:
    // ProgramDirectory: the executable's folder; the folders the window reads and writes follow
    // from it (FindProgramFolders).
    TMainWindow(TData& Data, const QString& ProgramDirectory, QWidget* Parent = nullptr);
    ~TMainWindow() override;

    TData& Data() { return FData; }
    // Ends with '/'.
    const QString& ProgramDirectory() const { return FProgramDirectory; }
    const TProgramFolders& Folders() const { return FFolders; }

    // The OR-day capacity in minutes from the two time selectors.
    double CapacityORinMinutes() const;
    // The selected case mix, or nullptr; the position of the selected entry (-1 for none).
    TCaseMix* SelectedCaseMix() const;
    int SelectedCaseMixIndex() const;
    // Reads a case mix file with the current capacity and lists it; throws EOrbenchError on bad
    // content (nothing added). True when a case mix was added.
    bool AddCaseMixFromFile(const QString& FileName);

    // The commands, as the buttons and menu items run them.
    void GenerateInstanceBClick();
    void GenerateTheoreticalCaseMixBClick();
    void LoadCaseMixBClick();
    void SaveCaseMixBClick();
    void SaveBClick();
    void LoadInstanceBClick();
    // "Save chart as picture...": what the chart shows now, zoom included, as SVG or PNG (by the
    // extension of the chosen name; a PNG has twice the chart's pixels in each direction).
    void SaveChartPictureMIClick();
    void GenerateXInstancesBClick();
    void MinOverlapBClick();
    void AboutMIClick();
    void CaseMixCBChange();
    void CaseMixTypeCBChange();
    void ShowSelectedInstance();
    bool CheckInputFields();
    // Why "Generate instance(s)" cannot run with the fields as typed ("" when it can): the number of
    // OR-days a whole number of at least 1, the load a number greater than 0. Shown under the
    // fields as they are typed, the button disabled meanwhile.
    QString InputProblem() const;
    void ValidateInputFields();
    // Refills the instance selector with 0 .. count - 1, nothing selected, and takes the plotted
    // instance off the chart (no instance is selected any more).
    void RefillInstanceSelector();

    // Opens the batch and overlap windows; replaced by the windows' own code when they are built.
    std::function<void(TMainWindow&)> OpenBatchWindow;
    std::function<void(TMainWindow&)> OpenOverlapWindow;

    // The text the status bar's first panel shows: the hint of the control under the mouse, or
    // "Case mix: " and the selected case mix.
    QString StatusText() const;
    TSurgeryChart* Chart() const { return FChart; }

private:
    // The window, built panel by panel.
    void BuildWindow();
    TSurgeryChart* BuildChart(QWidget* Parent);
    QWidget* BuildInstancePanel(QWidget* Parent);
    QWidget* BuildCaseMixPanel(QWidget* Parent);
    void BuildMenu();
    void ReadCaseMixDirectory();
    // A case mix was added and selected from code: the instance selector, the chart's points and
    // the status bar follow it.
    void ShowAddedCaseMix();
    void ShowCaseMixName();
    void SurgeryClicked(int Index);
    bool CapacityIsValid();
    // Runs a command; an error of the model is shown in an error box and ends the command.
    void RunCommand(const std::function<void()>& Command);
    TInstance* SelectedInstance(bool ShowError);

    TData& FData;
    QString FProgramDirectory;
    TProgramFolders FFolders;
    TMessageBoxNotifier FNotifier;
    TNotifier* FOldNotifier;

    TSurgeryChart* FChart = nullptr;
    QComboBox* FORopenCB = nullptr;
    QComboBox* FORCloseCB = nullptr;
    QLineEdit* FNumORDaysLE = nullptr;
    QLineEdit* FLoadLE = nullptr;
    QLabel* FGenLoadT = nullptr;
    QLabel* FInputProblemL = nullptr;
    int FTheoreticalCaseMixes = 0;  // made so far, for their names
    QComboBox* FCaseMixTypeCB = nullptr;
    QComboBox* FShowInstanceNrCB = nullptr;
    QPushButton* FSaveB = nullptr;
    QComboBox* FCaseMixCB = nullptr;
    QPushButton* FLoadCaseMixB = nullptr;
    QPushButton* FGenerateTheoreticalCaseMixB = nullptr;
    QPushButton* FSaveCaseMixB = nullptr;
    QPushButton* FGenerateInstanceB = nullptr;
    QSpinBox* FNumInstancesSE = nullptr;
    QPushButton* FGenerateXInstancesB = nullptr;
    QPushButton* FButton3 = nullptr;
    QLabel* FStatusL = nullptr;
    bool FReadingCaseMixDirectory = false;
};

}  // namespace orbench::ui
