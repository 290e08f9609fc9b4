// The message boxes by which the batch processor reports a file it could not process, and the
// one table that maps every engine result to its boxes.
#pragma once

#include <string>
#include <vector>

struct BatchBox {
    std::string text;
    std::string caption;
    unsigned buttons = 0; // ui::mbOK, or ui::mbOKCancel when a further file may follow
    // A failure box: its Cancel, or its showing on the batch's last file, stops the batch.
    bool stops = false;
};

// A problem with one file: with files to follow it asks whether to go on (OK) or to stop
// (Cancel); on the last file it offers OK only.
BatchBox FailureBox(const std::string &message, const std::string &caption, bool last);

// "Cannot process file: <path>.", a failure box.
BatchBox CannotProcessBox(const std::string &path, bool last);
// "Cannot write file: <name>.", a notice with OK.
BatchBox CannotWriteBox(const std::string &name);

// The boxes that report a failed engine call on `path` writing `output`, in the order shown:
// a notice first for some results, then one failure box. Empty for CRYPT_OK.
std::vector<BatchBox> EngineResultBoxes(int result, const std::string &path,
                                        const std::string &output, bool last);
