// Resource ids of play_settings_dialog.rc.
#pragma once

// 3: the Play Settings dialog
#define IDD_PLAY_SETTINGS 3
#define IDC_PLAY_DEVICE 101
#define IDC_PLAY_VOLUME 102
#define IDC_AUTOPLAY 103
#define IDC_PURE_SYNTHESIS 104
