#pragma once

// Registers the embedded resources (font, pictures, style sheet) of the static library.
// Safe to call more than once.
void initZemoResources();
