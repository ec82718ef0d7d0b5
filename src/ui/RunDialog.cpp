#include "RunDialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>

namespace orbench::ui {

void TRunDialog::keyPressEvent(QKeyEvent* Event)
{
    if (Event->key() != Qt::Key_Escape) {
        QDialog::keyPressEvent(Event);
        return;
    }
    if (FRunning)
        RequestStop(true);
    else
        accept();
}

void TRunDialog::closeEvent(QCloseEvent* Event)
{
    if (!FRunning) {
        QDialog::closeEvent(Event);
        return;
    }
    RequestStop(true);
    Event->ignore();
}

void TRunDialog::reject()
{
    if (FRunning)
        RequestStop(true);
    else
        QDialog::reject();
}

bool TRunDialog::PollStop()
{
    QCoreApplication::processEvents();
    return FStopRequested;
}

void TRunDialog::RequestStop(bool Close)
{
    FStopRequested = true;
    FCloseAfterRun = FCloseAfterRun || Close;
}

}  // namespace orbench::ui
