// Resource ids shared by the templates (setup.rc) and the code. Templates are named by strings.
#pragma once

#define IDI_SETUP 102

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Common controls of every page.
#define IDC_NEXT 1000
#define IDC_CANCEL_WIZARD 1001
#define IDC_BACK 1011
#define IDC_HEADER 1022

// Folder page.
#define IDC_FOLDER_EDIT 1004
#define IDC_FOLDER_GROUP 1010
#define IDC_FOLDER_BROWSE 1023

// Settings page.
#define IDC_SETTINGS_DATA 1007
#define IDC_SETTINGS_DESKTOP 1008
#define IDC_SETTINGS_START_MENU 1009
#define IDC_SETTINGS_DATA_NOTE 1033

// Confirmation page.
#define IDC_SUMMARY 1029
