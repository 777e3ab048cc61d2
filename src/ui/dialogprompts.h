#pragma once

// Makes the window's dialogs (message boxes, file dialogs, the desktop's URL handler) the ones
// that answer every Prompter without a handler of its own. Called by the window; idempotent.
void installDialogPrompts();
