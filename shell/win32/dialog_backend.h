// The commands' dialogs as real windows of the file manager's process.
#pragma once

// Makes the Win32 dialog backend current. Called on the file manager's thread before each
// command; the backend is made on the first call, not while the library loads.
void UseWindowsDialogs();
