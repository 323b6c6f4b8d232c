/* Resource, command and control ids, shared by the resource script and the code. */
#pragma once

/* Icons: the application icon and the tray lamp's four pictures */
#define IDI_VELUMIN 128
#define IDI_LAMP_SEND 129
#define IDI_LAMP_IDLE 130
#define IDI_LAMP_RECEIVE 133
#define IDI_LAMP_BOTH 134

/* Dialog templates and the tray menu */
#define IDD_HOST 102
#define IDR_TRAY_MENU 131
#define IDD_ABOUT 135
#define IDD_SETTINGS 137

/* Commands of the tray menu (and of the hidden host window's buttons) */
#define IDM_EXIT 1005
#define IDM_ABOUT 1006
#define IDM_SETTINGS 1011
#define IDM_KEYBOARD_LED 1015

/* About dialog */
#define IDC_WEB_PAGE 1007
#define IDC_ABOUT_TEXT 1009

/* The dialog manager's OK and Cancel buttons, as windows.h numbers them, for
   the Qt dialogs too */
#ifndef IDOK
#define IDOK 1
#endif
#ifndef IDCANCEL
#define IDCANCEL 2
#endif

/* Settings dialog; Cancel is IDCANCEL (2), OK is not IDOK */
#define IDC_SETTINGS_OK 1010
#define IDC_RECEIVE_CHECK 1012
#define IDC_SEND_CHECK 1013
#define IDC_RECEIVE_LIST 1014
#define IDC_SEND_LIST 1015
#define IDC_PORT_LIST 1021
#define IDC_USE_SERIAL_CHECK 1023
#define IDC_INVERSION_CHECK 1024
