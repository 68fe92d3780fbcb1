// The tone value list in the main window's list-view control: each row keeps
// only its RowId as item data, and every text comes from the tone record.
#pragma once

#include <windows.h>

#include <vector>

#include "tone/tone_settings.h"
#include "tone/tone_value_list.h"

namespace zelvaro {

// Two left-aligned columns with empty titles: the label takes 70 % of the
// client width, the value the rest.
void insertValueColumns(HWND list);

// Gives the label 70 % of the width the rows have and the value the rest:
// the client width, less a vertical scroll bar when the rows need one, so
// that the columns never need a horizontal one. The value keeps at least the
// room of "20000.00Hz", which 30 % beside a scroll bar may not give.
void fitValueColumns(HWND list);

// Deletes every row (and so the selection), lists the record's rows and
// fits the columns to them.
void rebuildValueList(HWND list, const ToneSettings& tone);

// The RowIds of the selected rows, in list order.
std::vector<RowId> selectedRowIds(HWND list);

// Steps every selected row and rewrites its value text; the selection stays.
void stepSelected(HWND list, ToneSettings& tone, Step step);

// Opens the text edit dialog over `owner` for each selected row in turn; a
// dialog not ended with OK stops the walk. True when at least one ended with OK.
bool editSelected(HWND list, HWND owner, ToneSettings& tone);

}  // namespace zelvaro
