// Moving a text between a dialog control and a string (the dialog's data exchange).
#pragma once
#include <windows.h>
#include <string>

namespace winlib {

// Puts `value` into the control. On failure: the simple beep and the focus on the control.
bool LoadText(HWND dialog, int controlId, const std::wstring& value);

// Reads the control's whole text into `value`. When fewer characters arrive than the
// control announced, beeps and focuses the control, keeping what was read.
bool SaveText(HWND dialog, int controlId, std::wstring& value);

}  // namespace winlib
