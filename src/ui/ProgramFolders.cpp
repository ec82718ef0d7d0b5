#include "ProgramFolders.h"

#include <QDir>
#include <QStandardPaths>

// The path from the installation's program folder to its data folder (src/ui/CMakeLists.txt).
#ifndef ORBENCH_DATA_FROM_BIN
#error "ORBENCH_DATA_FROM_BIN must name the data folder relative to the program folder"
#endif

namespace orbench::ui {

namespace {

QString WithSlash(const QString& Folder) { return Folder.endsWith('/') ? Folder : Folder + '/'; }

}  // namespace

TProgramFolders FindProgramFolders(const QString& ProgramDirectory)
{
    const QString Program = WithSlash(ProgramDirectory);
    const QString Beside = Program + "casemixes/";
    const QString Shared = WithSlash(QDir::cleanPath(Program + ORBENCH_DATA_FROM_BIN + "/casemixes"));
    TProgramFolders Folders;
    if (QDir(Beside).exists() || !QDir(Shared).exists()) {
        Folders.CaseMixFolders = {Beside};
        Folders.UserCaseMixFolder = Beside;
        Folders.BatchFolder = Program + "instances/";
        Folders.FileFolder = Program;
        return Folders;
    }
    Folders.Installed = true;
    Folders.UserCaseMixFolder =
        WithSlash(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)) + "casemixes/";
    // Made without asking: an empty folder on the first start tells the user where to put case mixes.
    QDir().mkpath(Folders.UserCaseMixFolder);
    Folders.CaseMixFolders = {Shared, Folders.UserCaseMixFolder};
    Folders.FileFolder = WithSlash(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)) + "orbench/";
    Folders.BatchFolder = Folders.FileFolder + "instances/";
    return Folders;
}

}  // namespace orbench::ui
