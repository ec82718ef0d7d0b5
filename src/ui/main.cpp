// The desktop program. Start-up: the model root, the solver environment, the generator seeded
// with 12345 and the number format of the user's locale, then the main window; at exit the model
// goes first, then the solver environment.
#include <QApplication>
#include <QIcon>
#include <memory>

#include "FileUtils.h"
#include "LpSolver.h"
#include "MainWindow.h"
#include "Model.h"
#include "NumberFormat.h"
#include "UiServices.h"

int main(int argc, char** argv)
{
    QApplication Application(argc, argv);
    QApplication::setApplicationName("Orbench");
    QApplication::setApplicationDisplayName("Orbench");
    // The installed icon (share/icons/hicolor); none in the build tree.
    QApplication::setWindowIcon(QIcon::fromTheme("orbench"));

    auto Data = std::make_unique<orbench::TData>();
    if (!orbench::OpenSolverEnvironment())
        orbench::ui::ShowMessageBox(nullptr, orbench::ui::TBoxKind::bkError, orbench::SolverStartFailedMessage);
    Data->Random.Seed(orbench::TUniformGenerator::DefaultSeed);
    orbench::SetDecimalSeparator(orbench::DetectLocaleDecimalSeparator());

    int Result = 0;
    {
        orbench::ui::TMainWindow Window(*Data, QString::fromLocal8Bit(orbench::ExecutableDirectory().c_str()));
        Window.show();
        Result = QApplication::exec();
    }
    Data.reset();
    orbench::CloseSolverEnvironment();
    return Result;
}
