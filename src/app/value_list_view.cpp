#include "app/value_list_view.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "ui/l_dpi.h"
#include "ui/l_text_edit_dlg.h"

namespace zelvaro {

namespace {

constexpr char kWidestValueText[] = "20000.00Hz";
// Six pixels on either side of a value's text at 96 DPI.
constexpr int kValueMargins = 12;

int findRow(HWND list, RowId row) {
    LVFINDINFOA find = {};
    find.flags = LVFI_PARAM;
    find.lParam = static_cast<LPARAM>(row);
    return static_cast<int>(SendMessageA(list, LVM_FINDITEMA, static_cast<WPARAM>(-1),
                                         reinterpret_cast<LPARAM>(&find)));
}

void setItemText(HWND list, int item, int column, const std::string& text) {
    LVITEMA lv = {};
    lv.iSubItem = column;
    lv.pszText = const_cast<char*>(text.c_str());
    SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv));
}

RowChanged rewriteValue(HWND list, const ToneSettings& tone) {
    return [list, &tone](RowId row) {
        const int item = findRow(list, row);
        if (item >= 0)
            setItemText(list, item, 1, rowValueText(tone, row));
    };
}

}  // namespace

void insertValueColumns(HWND list) {
    RECT client = {};
    GetClientRect(list, &client);
    const int width = client.right - client.left;
    const int labelWidth = width * 70 / 100;
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = LVCFMT_LEFT;
    column.pszText = const_cast<char*>("");
    column.cx = labelWidth;
    SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    column.cx = width - labelWidth;
    SendMessageA(list, LVM_INSERTCOLUMNA, 1, reinterpret_cast<LPARAM>(&column));
}

void fitValueColumns(HWND list) {
    // The client area without the scroll bars shown now: they depend on the
    // column widths being replaced.
    RECT client = {};
    GetClientRect(list, &client);
    const LONG style = GetWindowLongA(list, GWL_STYLE);
    const int fullWidth = client.right + (style & WS_VSCROLL ? GetSystemMetrics(SM_CXVSCROLL) : 0);
    const int fullHeight = client.bottom + (style & WS_HSCROLL ? GetSystemMetrics(SM_CYHSCROLL) : 0);
    const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    RECT row = {LVIR_BOUNDS, 0, 0, 0};
    const int rowHeight =
        rows > 0 && SendMessageA(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row)) ? row.bottom - row.top : 0;
    const bool needsBar = rowHeight > 0 && rows * rowHeight > fullHeight;
    const int width = fullWidth - (needsBar ? GetSystemMetrics(SM_CXVSCROLL) : 0);
    // The widest frequency, with the margins the list view leaves beside a
    // value's text, takes the room it needs from the label when 30 % is short.
    const int widestValue = static_cast<int>(SendMessageA(list, LVM_GETSTRINGWIDTHA, 0,
                                                           reinterpret_cast<LPARAM>(kWidestValueText))) +
                            ScaleToDpi(kValueMargins, WindowDpi(list));
    const int valueWidth = std::max(width - width * 70 / 100, std::min(widestValue, width));
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(width - valueWidth, 0));
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 1, MAKELPARAM(valueWidth, 0));
}

void rebuildValueList(HWND list, const ToneSettings& tone) {
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    int index = 0;
    for (RowId row : valueRows(tone)) {
        const std::string label = rowLabel(tone, row);
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = index;
        item.pszText = const_cast<char*>(label.c_str());
        item.lParam = static_cast<LPARAM>(row);
        const int inserted = static_cast<int>(
            SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        if (inserted < 0)
            continue;
        setItemText(list, inserted, 1, rowValueText(tone, row));
        ++index;
    }
    fitValueColumns(list);
}

std::vector<RowId> selectedRowIds(HWND list) {
    std::vector<RowId> rows;
    int item = -1;
    while ((item = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(item),
                                                 LVNI_SELECTED))) >= 0) {
        LVITEMA lv = {};
        lv.mask = LVIF_PARAM;
        lv.iItem = item;
        if (SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&lv)))
            rows.push_back(static_cast<RowId>(lv.lParam));
    }
    return rows;
}

void stepSelected(HWND list, ToneSettings& tone, Step step) {
    stepSelected(tone, selectedRowIds(list), step, rewriteValue(list, tone));
}

bool editSelected(HWND list, HWND owner, ToneSettings& tone) {
    auto dialog = [owner](const std::string& caption, const std::string& initial,
                          std::string& typed) {
        char text[kTextEditSize];
        lstrcpynA(text, initial.c_str(), kTextEditSize);
        LTextEditDlg edit;
        edit.text = text;
        edit.caption = caption.c_str();
        if (edit.Run(owner) != IDOK)
            return false;
        typed = text;
        return true;
    };
    return editSelected(tone, selectedRowIds(list), dialog, rewriteValue(list, tone));
}

}  // namespace zelvaro
