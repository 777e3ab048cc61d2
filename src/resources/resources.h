#pragma once

#include <QString>

// Registers the embedded resources (font, pictures, style sheet) of the static library.
// Safe to call more than once.
void initZemoResources();

// The application style sheet (":/style/zemo.qss"): colours of the title strips, tool column,
// pages, dialogs and message boxes. Empty when the resource cannot be read.
QString zemoStyleSheet();
