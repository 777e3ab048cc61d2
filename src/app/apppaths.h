#pragma once

#include <QString>

// The program folder: the folder of the executable, never the working directory. Every path the
// program builds itself ("settings.conf", "devices.db", the log file, "firmware", "updates",
// "help", "translations", the command history) starts from here.
class AppPaths
{
public:
    static QString programDir();
    static QString filePath(const QString &relative);

    // Tests and tools point the program folder elsewhere; an empty text returns to the default.
    static void setProgramDir(const QString &dir);
};
