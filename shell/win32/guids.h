// The fixed identities of the shell extension. The type library (qxvshell.idl) carries the
// same values; the registry entries are made from these.
#pragma once

#include <windows.h>

#include <objbase.h>

// The handler class TMVShellExtImpl (MVShellExt in the type library).
extern const CLSID CLSID_MVShellExt;
// The type library "QXVShell" and its interface IMVShellExt.
extern const GUID LIBID_QXVShell;
extern const IID IID_IMVShellExt;
