#pragma once

// 100: the test dialog
#define IDD_TEST 100
#define IDC_TEST_EDIT 1001
#define IDC_TEST_BUTTON 1002

// 200: the splash picture, drawn for the program
#define IDB_TEST_SPLASH 200
