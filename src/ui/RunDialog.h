#pragma once

#include <QDialog>

namespace orbench::ui {

// A modal window that runs long work with its own check points (the batch and overlap windows).
// While the work runs, Escape, closing the window and its STOP button only ask it to stop, and the
// window closes once the work has returned; when idle, Escape closes the window with OK.
class TRunDialog : public QDialog {
    Q_OBJECT

public:
    using QDialog::QDialog;
    bool Running() const { return FRunning; }

protected:
    void keyPressEvent(QKeyEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    void reject() override;

    // The stop poll of the work: processes pending window messages and answers whether a stop was
    // asked for.
    bool PollStop();
    // Asks the running work to stop, and closes the window after it when Close is set.
    void RequestStop(bool Close);

    bool FRunning = false;
    bool FStopRequested = false;
    bool FCloseAfterRun = false;
};

}  // namespace orbench::ui
