#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Shows a modal message box and returns the button the user chose (IDYES,
// IDOK, ...). Code that asks the user something takes one of these, so that
// tests can script the answer instead of blocking on a dialog.
using MessageBoxFunction = std::function<int(HWND owner, const std::wstring& text,
                                             const std::wstring& caption, UINT type)>;

// The real dialog (MessageBoxW).
int SystemMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type);
