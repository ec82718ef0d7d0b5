#pragma once

#include <QDialog>

#include "Model.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class QTabWidget;

namespace orbench::ui {

class TMainWindow;

// "Analyze overlap of instances": the overlap matrix of the instances of the case mix selected
// in the main window, shaded from white (0) to a strong colour (1); optionally the instances with
// the smallest largest mutual overlap are selected and the others removed from the case mix.
class TOverlapWindow : public QDialog {
    Q_OBJECT

public:
    explicit TOverlapWindow(TMainWindow& Main);

    void AnalyzeOverlapBClick();

    QTableWidget* Grid() const { return FGrid; }
    const DoubDoubArray& Overlap() const { return FOverlap; }

protected:
    void keyPressEvent(QKeyEvent* Event) override;

private:
    void AddMessage(const QString& Message);
    void ShowMatrix(int N);

    TMainWindow& FMain;
    DoubDoubArray FOverlap;
    QPushButton* FAnalyzeOverlapB = nullptr;
    QCheckBox* FSelectCasesCB = nullptr;
    QLineEdit* FSelectNumCasesE = nullptr;
    QCheckBox* FRemoveInstancesCB = nullptr;
    QLineEdit* FEpsilonLE = nullptr;
    QCheckBox* FDeterministicDistanceCB = nullptr;
    QComboBox* FEngineCB = nullptr;
    QLabel* FMaxOverlapL = nullptr;
    QTabWidget* FPageControl1 = nullptr;
    QPlainTextEdit* FMessagesM = nullptr;
    QTableWidget* FGrid = nullptr;
};

}  // namespace orbench::ui
