// The Info command (ShowFileInfo in shell/commands.h): the container probe's verdict on the one
// selected file, shown in an information box.
#pragma once

#include <string>

// The information box's text for a probe result, the file's path and the algorithm name.
std::string FileInfoBoxText(int probe, const std::string &path, const std::string &algorithm);

// The probe's result for the file the last Info command looked at; -1 when it showed nothing
// (no single file selected, or another command was running).
int LastFileInfoResult();
