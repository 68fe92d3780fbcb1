// Resource ids of tone.rc, in blocks by dialog and menu.
#pragma once

// 1: the main window, its menu, icons and splash picture
#define IDD_MAIN 1
#define IDR_MAIN_MENU 1
#define IDI_LARGE 1
#define IDI_SMALL 2
#define IDB_SPLASH 1

// 11: the button pictures, then their greyed forms
#define IDB_PLAY 11
#define IDB_STOP 12
#define IDB_INCREASE 13
#define IDB_DECREASE 14
#define IDB_PLAY_GREY 15
#define IDB_STOP_GREY 16
#define IDB_INCREASE_GREY 17
#define IDB_DECREASE_GREY 18

// 101 and 201: the splash and button pictures at 150 and 200 %, each the
// picture's id plus kPictureScaleIdStep (ui/l_dpi.h) times its scale's place.
#define IDB_SPLASH_150 101
#define IDB_PLAY_150 111
#define IDB_STOP_150 112
#define IDB_INCREASE_150 113
#define IDB_DECREASE_150 114
#define IDB_PLAY_GREY_150 115
#define IDB_STOP_GREY_150 116
#define IDB_INCREASE_GREY_150 117
#define IDB_DECREASE_GREY_150 118
#define IDB_SPLASH_200 201
#define IDB_PLAY_200 211
#define IDB_STOP_200 212
#define IDB_INCREASE_200 213
#define IDB_DECREASE_200 214
#define IDB_PLAY_GREY_200 215
#define IDB_STOP_GREY_200 216
#define IDB_INCREASE_GREY_200 217
#define IDB_DECREASE_GREY_200 218

// 101: the main window's controls
#define IDC_PLAY 101
#define IDC_STOP 102
#define IDC_INCREASE 103
#define IDC_DECREASE 104
#define IDC_STATUS 109
#define IDC_VALUES 110

// 903: the Help menu and its web links (9 is Help Contents, IDHELP)
#define IDM_ABOUT 903
#define IDM_LINK_FIRST 911
#define IDM_LINK_HOME 911
#define IDM_LINK_SOFTWARE 912
#define IDM_LINK_DOWNLOADS 913
#define IDM_LINK_SUPPORT 914
#define IDM_LINK_LAST 922

// 1001: the File menu
#define IDM_PLAY 1001
#define IDM_STOP 1002
#define IDM_SAVE_AS_WAV 1011
#define IDM_SAVE_AS_TONE 1012
#define IDM_LOAD_TONE 1013
#define IDM_PLAY_SETTINGS 1021
#define IDM_EXIT 1099

// 2011: the tone values and the number of tones (2100 + count)
#define IDM_INCREASE 2011
#define IDM_DECREASE 2012
#define IDM_EDIT_VALUE 2013
#define IDM_TONES_BASE 2100
#define IDM_TONES_1 2101
#define IDM_TONES_16 2116

// 3021: tone kind, channels, waveform (3041 + code), amplitude
#define IDM_CONTINUOUS 3021
#define IDM_DURATION 3022
#define IDM_SWEEP_LINEAR 3023
#define IDM_SWEEP_LOG 3024
#define IDM_MONO 3031
#define IDM_STEREO 3032
#define IDM_SINE 3041
#define IDM_SQUARE 3042
#define IDM_TRIANGULAR 3043
#define IDM_SAW_TOOTH 3044
#define IDM_IMPULSE 3045
#define IDM_WHITE_NOISE 3046
#define IDM_PINK_NOISE 3047
#define IDM_VARIABLE_AMPLITUDE 3051

// 4001: the About box
#define IDC_ABOUT_ICON 4001
#define IDC_ABOUT_TEXT 4002
