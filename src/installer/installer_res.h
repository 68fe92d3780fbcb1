// Resource ids of installer.rc.
#pragma once

// 1: the licence terms dialog "LicenceTermsDlg" (a named template)
#define IDC_LICENCE_TEXT 101
#define IDC_LICENCE_ICON 102
