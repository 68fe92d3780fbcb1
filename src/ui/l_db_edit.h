// LDBEdit: the program's own control for a level in decibels, a small edit box
// with the value as text on the left and a bar to click or drag on its right.
// Its state lives in the window's extra bytes; a user change is posted to the
// parent as WM_COMMAND with the control's id and kDbEditChanged.
#pragma once

#include <windows.h>

#include "base/db_value.h"

namespace zelvaro {

// Long parameter: the new value (its low 8 bits, signed); clamped to the
// range, repainted and written to the edit box, without a notification.
constexpr UINT LDBM_SETVALUE = WM_USER;
// The 16-bit value word, zero-extended: its low 8 bits are the signed value.
constexpr UINT LDBM_GETVALUE = WM_USER + 1;
// Word parameter: the minimum; long parameter: the maximum (low 8 bits of
// each, signed). The value is left as it is until its next change.
constexpr UINT LDBM_SETRANGE = WM_USER + 2;

// The notification code a user change posts (the edit box's own change code).
constexpr WORD kDbEditChanged = EN_CHANGE;

// Window style bit that gives the control a sunken one-pixel border.
constexpr DWORD kDbEditSunken = 0x1000;

// Registers the "LDBEdit" class in the program's module unless it already is.
void RegisterDbEditClass();

LRESULT CALLBACK DbEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace zelvaro
