// Resource ids of tone.rc, in blocks by dialog and menu.
#pragma once

// 1: the main window
#define IDD_MAIN 1
