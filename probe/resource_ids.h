// Resource and control ids of the probe, a block per dialog. Included by
// the resource script too, so only preprocessor definitions belong here.
#pragma once

// Pictures and strings.
#define IDI_PROBE 128
#define IDS_ABOUTBOX 101
#define IDB_STATE0_INACTIVE 130  // inactive pictures are 130 + state
#define IDB_STATE0_CURRENT 138   // current pictures are 138 + state

// System menu.
#define IDM_ABOUTBOX 16

// About box (dialog 100).
#define IDD_ABOUTBOX 100

// Main window (dialog 102).
#define IDD_PROBE 102
#define IDC_SOURCE_LIST 1000
#define IDC_LOWER 1020
#define IDC_LOG_VIEW 1022
#define IDC_STATE7 1026
#define IDC_HIGHER 1027
#define IDC_DEVICE_UI 1028
#define IDC_STATE6 1029
#define IDC_TABS 1030
#define IDC_STATE3 1031
#define IDC_STATE4 1032
#define IDC_STATE5 1033
#define IDC_STATE2 1034
#define IDC_STATE1 1035
#define IDC_XFER_MECH 1049
#define IDC_ABOUT 1088

// Pages under the tab strip.
#define IDD_CAPABILITIES_PAGE 103
#define IDD_IMAGE_INFO_PAGE 104
#define IDD_IMAGES_PAGE 105
#define IDD_LAYOUT_PAGE 106
#define IDD_SOURCE_PAGE 155

// Source page (dialog 155).
#define IDC_IDENTITY_REPORT 1034

// Images page (dialog 105).
#define IDC_IMAGE_INFO 1034
#define IDC_IMAGE_VIEW 1036
#define IDC_ZOOM_IN 1037
#define IDC_ZOOM_OUT 1038
#define IDC_ZOOM_TEXT 1039
#define IDC_IMAGE_TABS 1080
#define IDM_IMAGE_SAVE 40101

// Palette viewer (dialog 152).
#define IDD_PALETTE_VIEWER 152
#define IDC_PALETTE_ENTRY 1051
#define IDC_PALETTE_SWATCH 1052

// Log view context menu.
#define IDM_LOG_COPY_ALL 40001
#define IDM_LOG_SAVE 40002
