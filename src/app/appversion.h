#pragma once

#include <QString>

// The configurator's own version "a.b.c": shown in the start banner and the about box, reported
// to the update server and the configuration server. The entry point declares it as the
// application's version; programs that build a window without it (tests, tools) get the version
// this library was built as.
class AppVersion
{
public:
    static QString text();
    // The day of the sources this program was built from, "Sep 14 2022": the last commit's, or
    // SOURCE_DATE_EPOCH's for a distribution's build, never the day of the build itself.
    static QString sourceDate();
};
