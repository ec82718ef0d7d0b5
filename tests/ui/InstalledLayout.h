// An installed program and a user of it, for the lifetime of the object: a new temporary folder
// (removed at the end) holds the installation, laid out as the install rules lay it out (the
// program's folder and the shared case-mix folder, both made here), and the user's home and data
// folders, to which HOME and XDG_DATA_HOME point meanwhile.
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <vector>

namespace orbench::testing {

class TInstalledLayout {
public:
    TInstalledLayout()
    {
        QDir().mkpath(ProgramFolder());
        QDir().mkpath(SharedCaseMixFolder());
        Set("HOME", FRoot.path() + "/home");
        Set("XDG_DATA_HOME", FRoot.path() + "/data");
    }
    ~TInstalledLayout()
    {
        for (auto It = FSaved.rbegin(); It != FSaved.rend(); ++It)
            It->WasSet ? qputenv(It->Name, It->Value) : qunsetenv(It->Name);
    }
    TInstalledLayout(const TInstalledLayout&) = delete;
    TInstalledLayout& operator=(const TInstalledLayout&) = delete;

    // Each ends with '/'.
    QString Root() const { return FRoot.path() + "/"; }
    QString ProgramFolder() const { return Root() + "prefix/" ORBENCH_TEST_BINDIR "/"; }
    QString SharedCaseMixFolder() const { return Root() + "prefix/" ORBENCH_TEST_DATADIR "/orbench/casemixes/"; }
    // The user's application data folder holds the case mixes, under the application's name.
    QString UserCaseMixFolder() const { return Root() + "data/" + QCoreApplication::applicationName() + "/casemixes/"; }
    QString Documents() const { return Root() + "home/Documents/"; }

private:
    struct TSaved {
        const char* Name;
        bool WasSet;
        QByteArray Value;
    };
    void Set(const char* Name, const QString& Value)
    {
        FSaved.push_back({Name, qEnvironmentVariableIsSet(Name), qgetenv(Name)});
        qputenv(Name, Value.toLocal8Bit());
    }

    QTemporaryDir FRoot;
    std::vector<TSaved> FSaved;
};

}  // namespace orbench::testing
