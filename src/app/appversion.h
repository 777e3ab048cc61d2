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
};
