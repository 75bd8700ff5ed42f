// Identifiers of the setup window's template and controls. Shared with the resource
// script, so plain defines only.
#pragma once

#define IDD_SETUP 129
#define IDI_SETUP 128

#define IDC_CLOSE 1000
#define IDC_MINIMIZE 1001
#define IDC_INSTALL 1002
#define IDC_AGREE 1003
#define IDC_LICENCE 1004
#define IDC_CUSTOMIZE 1005
#define IDC_BROWSE 1008
#define IDC_PATH 1009
#define IDC_PROGRESS 1010
#define IDC_PATH_LABEL 1012
#define IDC_AGREE_REMINDER 1013
#define IDC_HIDE 1014
#define IDC_START_NOW 1015
#define IDC_PERCENT 1016
