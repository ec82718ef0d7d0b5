#pragma once

#include <QString>
#include <QStringList>

namespace orbench::ui {

// Where the desktop program reads and writes its files. Every folder ends with '/'.
struct TProgramFolders {
    // The folders whose case mixes are read at start, in this order.
    QStringList CaseMixFolders;
    // Where the user's own case mixes go: the case-mix file dialogs open there.
    QString UserCaseMixFolder;
    // The base folder of the batch runs until the user chooses another.
    QString BatchFolder;
    // Where the other file dialogs (instances, pictures, matrices) open.
    QString FileFolder;
    // The program runs from an installation: the case mixes shipped with it lie in a shared folder
    // that the user cannot write, and the user's files go to the user's own folders.
    bool Installed = false;
};

// The folders of the program whose executable lies in ProgramDirectory:
// - a build tree or a portable copy, with "casemixes" beside the program: that folder is read and
//   the user's case mixes go there, the batch runs write into "instances" beside the program, and
//   the other file dialogs open in the program's folder;
// - otherwise an installation, when the installation's shared "casemixes" (share/orbench/casemixes
//   as seen from bin/) exists: that folder is read first, then the user's own
//   ~/.local/share/Orbench/casemixes (made here when missing), where the user's case mixes go; the
//   batch runs write into ~/Documents/orbench/instances and the other file dialogs open in
//   ~/Documents/orbench (the application data and documents folders of the system);
// - neither: the folders beside the program, as for a build tree (the main window says that
//   "casemixes" is missing and makes it).
TProgramFolders FindProgramFolders(const QString& ProgramDirectory);

}  // namespace orbench::ui
