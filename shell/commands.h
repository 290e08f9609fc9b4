// The commands of the context menu (and of the command line tool), each run over the kept
// selection (shell/selection.h). `window` is the owner of every message box and dialog the
// command shows: an HWND on Windows, nullptr where there is no window.
#pragma once

// Encrypt (encrypt = 1) or decrypt (encrypt = 0) every selected file and every file below the
// selected folders. Every outcome is reported to the user; returns 0.
int ProcessSelection(void *window, int encrypt);

// Tells whether the one selected file is a container and with which algorithm. Returns 0.
int ShowFileInfo(void *window);
