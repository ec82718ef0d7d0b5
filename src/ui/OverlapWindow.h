#pragma once

#include <QTableWidget>
#include <string>
#include <vector>

#include "Model.h"
#include "RunDialog.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;

namespace orbench::ui {

class TMainWindow;

// The overlap grid: compact cells with three decimals, the full value in each cell's tool tip,
// and Ctrl+C copying the selected cells (the whole matrix when none is selected) as
// tab-separated text with every value at full precision, for a spreadsheet.
class TOverlapGrid : public QTableWidget {
    Q_OBJECT

public:
    using QTableWidget::QTableWidget;

    // The full-precision value of a cell is kept under this role.
    static constexpr int ValueRole = Qt::UserRole + 1;
    // The text Ctrl+C puts on the clipboard: the rows of the selection's bounding box (of the
    // whole grid without a selection), cells separated by TAB, rows ended by a line break;
    // unselected cells inside the box stay empty.
    QString CopyText() const;

protected:
    void keyPressEvent(QKeyEvent* Event) override;
};

// "Analyze overlap of instances": the overlap matrix of the instances of the case mix selected
// in the main window, shaded from white (0) to a strong colour (1), with a key beside it;
// optionally the instances with the smallest largest mutual overlap are selected (marked in the
// headers and named in Messages) and the others removed from the case mix. The number of cases
// and epsilon are checked as they are typed: while they cannot be used, a line under them says
// why and the button stays disabled. While the analysis runs, a gauge shows the rows done
// and its button reads "&STOP", which ends the analysis at the next row. "Save matrix..." writes the
// matrix of the last analysis as CSV or as a picture of the shaded grid.
class TOverlapWindow : public TRunDialog {
    Q_OBJECT

public:
    explicit TOverlapWindow(TMainWindow& Main);

    // Starts the analysis, or asks the running one to stop.
    void AnalyzeOverlapBClick();

    // Asks for a file and writes the matrix there: a picture of the shaded grid (chosen instances
    // marked) for a name ending in .svg or .png, else CSV text. Nothing happens without a matrix.
    void SaveMatrixBClick();
    // The CSV text: a header "instance,chosen" and the instances' names, then one line per grid
    // row: the instance's name, 1 or 0 for chosen or not (empty without a selection) and the values
    // at full precision (the shortest text that reads back as the same number) with '.', separated
    // by ',', each line ended by CR LF.
    QString MatrixCsvText() const;
    // What keeps the analysis from starting, as the window shows it under the fields ("" for
    // nothing): the number of cases to select (1 .. N - 1 of the N instances) and epsilon.
    QString InputProblem() const;

    TOverlapGrid* Grid() const { return FGrid; }
    const DoubDoubArray& Overlap() const { return FOverlap; }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void Analyze();
    void AddMessage(const QString& Message, bool ShowMessages = true);
    // An analysis begins with N rows and columns numbered 0 .. N - 1, the cells empty.
    void PrepareGrid(int N);
    // The row-number column has room for the numbers of N rows with a mark, even while blank.
    void SetRowNumberWidth(int N);
    void ShowMatrix(int N);
    void SetRunning(bool Running);
    // Checks the fields where they are typed: the message under them, the button with it.
    void Validate();
    // Puts the number field on the blanks of "Select            cases ...".
    void PlaceSelectNumCasesE();

    TMainWindow& FMain;
    DoubDoubArray FOverlap;
    std::vector<bool> FChosen;  // the selection of the last analysis; empty without one
    QWidget* FOptions = nullptr;
    QPushButton* FAnalyzeOverlapB = nullptr;
    QProgressBar* FGauge = nullptr;
    QCheckBox* FSelectCasesCB = nullptr;
    QLineEdit* FSelectNumCasesE = nullptr;
    QCheckBox* FRemoveInstancesCB = nullptr;
    QLineEdit* FEpsilonLE = nullptr;
    QCheckBox* FDeterministicDistanceCB = nullptr;
    QComboBox* FEngineCB = nullptr;
    QLabel* FMaxOverlapL = nullptr;
    QLabel* FProblemL = nullptr;
    std::vector<std::string> FNames;  // of the instances of the last analysis
    QPushButton* FSaveMatrixB = nullptr;
    QTabWidget* FPageControl1 = nullptr;
    QPlainTextEdit* FMessagesM = nullptr;
    TOverlapGrid* FGrid = nullptr;
};

}  // namespace orbench::ui
