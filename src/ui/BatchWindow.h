#pragma once

#include <functional>
#include <vector>

#include "BatchRun.h"
#include "RunDialog.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSplitter;

namespace orbench::ui {

class TMainWindow;

// "Generate instances": the batch window. Case mixes (check list), numbers of OR-days and loads
// (lists with ranges, sorting and clean-up), the options, the message list, the output folder and
// the two runs. While a run is in progress its button reads "&STOP" (both run buttons keep their
// size and place) and stops it at the next check point; the other controls are disabled, and
// closing the window stops the run first. A run that got going ends with a summary line in
// Messages. The options, lists and a chosen output folder are kept between openings (and runs of
// the program) in the user's settings.
class TBatchWindow : public TRunDialog, private TBatchHost {
    Q_OBJECT

public:
    explicit TBatchWindow(TMainWindow& Main);
    ~TBatchWindow() override;

    // The commands, as the buttons and menu items run them.
    void GoBClick();
    void GenTheorInstBClick();
    void LoadCaseMixBClick();
    void AddNumOpBClick();
    void AddLoadBClick();
    void SortNumOp();
    void SortLoad();
    void RemoveDoubleNumOp();
    void RemoveDoubleLoad();
    void RemoveThisItem(QListWidget* List);
    void SelectAllCaseMixes(bool Checked);
    // "Change...": the output folder from a folder chooser.
    void ChangeOutputFolderBClick();

    // The run's settings from the fields, in the run's order of checks: the number of instances
    // (a message line, false), a selected case mix for "&Go!" (a message line, false), then the other
    // fields (EOrbenchError naming the field).
    bool ReadSettings(TBatchSettings& Settings, bool Theoretical);
    // The case mixes whose entries are checked, in list order.
    std::vector<TCaseMix*> CheckedCaseMixes() const;
    // The base directory of the output tree, ending with '/': the program folders' batch folder
    // (FindProgramFolders) until the user chooses another, which is kept in the user's settings.
    // The field "Output folder" shows it.
    QString BaseDirectory;

protected:
    void showEvent(QShowEvent* Event) override;

private:
    // TBatchHost
    void AddMessage(const std::string& Message) override;
    void ShowProgress(int Maximum) override;
    void AdvanceProgress() override;
    void HideProgress() override;
    // The window's stop poll: processes pending window messages and answers whether STOP was
    // pressed. The batch layer calls it between steps and may hand it on to the overlap engine.
    bool CheckPoint() override;
    bool StopRequested() override;
    std::string DrawLimitAdvice() const override;
    void RunEnded(const TBatchResult& Result) override;

    void LoadFieldSettings();
    void SaveFieldSettings() const;
    void Run(QPushButton* Button, const QString& IdleCaption, bool Theoretical);
    void SetIdleControlsEnabled(bool Enabled);
    // The window, built box by box.
    void BuildWindow();
    QGroupBox* BuildCaseMixBox(QWidget* Parent);
    QGroupBox* BuildNumORdaysBox(QWidget* Parent, const TBatchSettings& Defaults);
    QGroupBox* BuildLoadBox(QWidget* Parent, const TBatchSettings& Defaults);
    QGroupBox* BuildOptionsBox(QWidget* Parent, const TBatchSettings& Defaults);
    QGroupBox* BuildMessagesBox(QWidget* Parent);
    QHBoxLayout* BuildOutputFolderRow();
    QHBoxLayout* BuildRunRow();
    void AddCaseMixEntry(const TCaseMix& CaseMix);
    void ShowOutputFolder();
    QStringList Entries(const QListWidget* List) const;
    void SetEntries(QListWidget* List, const std::vector<std::string>& Entries);

    TMainWindow& FMain;

    QListWidget* FCaseMixCLB = nullptr;
    QListWidget* FNumOperatingRoomsLB = nullptr;
    QListWidget* FLoadLB = nullptr;
    QLineEdit* FNumOpFromE = nullptr;
    QLineEdit* FNumOpToE = nullptr;
    QLineEdit* FNumOpByE = nullptr;
    QLineEdit* FLoadFromE = nullptr;
    QLineEdit* FLoadToE = nullptr;
    QLineEdit* FLoadByE = nullptr;
    QPushButton* FAddNumOpB = nullptr;
    QPushButton* FAddLoadB = nullptr;
    QLabel* FNumOpProblemL = nullptr;
    QLabel* FLoadProblemL = nullptr;
    std::function<void()> FCheckRanges;  // the ranges' check: each "Add" on only while its range can be added
    QLineEdit* FNumInstancesPerSettingLE = nullptr;
    QCheckBox* FSaveInstancesCB = nullptr;
    QLineEdit* FMaxLoadDeviationLE = nullptr;
    QCheckBox* FAnalyzeOverlapCB = nullptr;
    QLineEdit* FNumInstancesToSelectFromLE = nullptr;
    QLineEdit* FEpsilonLE = nullptr;
    QCheckBox* FRemoveInstancesCB = nullptr;
    QCheckBox* FDeterministicDistanceCB = nullptr;
    QCheckBox* FCaseMixTypeCB = nullptr;
    QComboBox* FEngineCB = nullptr;
    QLineEdit* FOutputFolderLE = nullptr;
    QPlainTextEdit* FMessagesM = nullptr;
    QProgressBar* FGauge1 = nullptr;
    QPushButton* FGoB = nullptr;
    QPushButton* FGenTheorInstB = nullptr;
    QList<QWidget*> FIdleControls;
    QSplitter* FColumns = nullptr;
    bool FColumnsPlaced = false;
};

}  // namespace orbench::ui
