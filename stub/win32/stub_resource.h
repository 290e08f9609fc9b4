// Ids of the stub's dialog resources, shared by the resource script and the code.
#pragma once

#define IDD_STUB_SAVE_TEMPLATE 102
#define IDC_STUB_PASSWORD 1000
// The common dialog's placeholder (stc32): its standard controls go where this one stands.
#define IDC_STUB_STANDARD_CONTROLS 1119
