// The commands of the context menu (and of the command line tool), each run over the kept
// selection (shell/selection.h). `window` is the owner of every message box and dialog the
// command shows: an HWND on Windows, nullptr where there is no window.
#pragma once

// How an Encrypt or Decrypt command ended; every file's outcome was also shown to the user.
struct BatchOutcome {
    int processed = 0;      // files encrypted or decrypted
    int skipped = 0;        // silently left alone: wrong kind, or replacement declined
    int failed = 0;         // a problem was reported for the file
    bool cancelled = false; // the password dialog or the batch was cancelled
    bool Succeeded() const { return failed == 0 && !cancelled; }
};

// Encrypt (encrypt = 1) or decrypt (encrypt = 0) every selected file and every file below the
// selected folders. Every outcome is reported to the user; a second command while one runs is
// refused and returns an empty outcome.
BatchOutcome ProcessSelection(void *window, int encrypt);

// Tells whether the one selected file is a container and with which algorithm. Returns 0.
int ShowFileInfo(void *window);
