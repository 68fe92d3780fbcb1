// Resource ids of play_settings_dialog.rc.
#pragma once

// 3: the Play Settings dialog
#define IDD_PLAY_SETTINGS 3
#define IDC_PLAY_DEVICE 101
#define IDC_PLAY_VOLUME 102
#define IDC_AUTOPLAY 103
#define IDC_PURE_SYNTHESIS 104
#define IDC_SAMPLE_RATE 105
#define IDC_SAMPLE_FORMAT 106
#define IDC_LEVEL 107
#define IDC_LEVEL_SPIN 108
#define IDC_LEVEL_RMS 109
#define IDC_PURE_NOTE 110
#define IDC_FORMAT_NOTE 111
