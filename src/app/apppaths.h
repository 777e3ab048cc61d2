#pragma once

#include <QString>

// Where the program's files are. The program folder is the folder of the executable, never the
// working directory: the shipped files (devices.db, translations, help) are read there. What
// the program writes (settings.conf, the log, the command history, downloaded firmware and
// updates) goes to the data folder: the program folder itself when it is the user's own (the
// portable release folder), else the user's data folder, $XDG_DATA_HOME/zemo-configurator or
// ~/.local/share/zemo-configurator (a package install, or a folder the user does not own).
class AppPaths
{
public:
    static QString programDir();
    // The shipped files: "devices.db", "translations", "help" and what lies below them.
    static QString programFilePath(const QString &relative);

    static QString dataDir();
    static QString dataFilePath(const QString &relative);

    // A path of the program's own: shipped files from the program folder, everything else from
    // the data folder.
    static QString filePath(const QString &relative);

    // The user's data folder, whatever the program folder is.
    static QString userDataDir();

    // True when the program may replace its own files with an update: the program folder is the
    // user's own and was not installed by a package. Otherwise the system's package manager
    // installs a new version (the update check still tells of it).
    static bool selfUpdateAllowed();
    // True when a package installed the program: its folder holds the marker file.
    static bool installedByPackage();
    // The marker file a package puts into the program folder.
    static QString packageMarkerName();

    // Tests and tools point the program folder and the user's data folder elsewhere; an empty
    // text returns to the default.
    static void setProgramDir(const QString &dir);
    static void setUserDataDir(const QString &dir);
};
