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
#define IDC_CHECK_SOURCE 1089

// Pages under the tab strip.
#define IDD_CAPABILITIES_PAGE 103
#define IDD_IMAGE_INFO_PAGE 104
#define IDD_IMAGES_PAGE 105
#define IDD_LAYOUT_PAGE 106
#define IDD_SOURCE_PAGE 155

// Source page (dialog 155).
#define IDC_IDENTITY_REPORT 1034

// Capabilities page (dialog 103).
#define IDC_CAP_LIST 1001
#define IDC_CAP_GET_TEXT 1005
#define IDC_CAP_CURRENT_TEXT 1006
#define IDC_CAP_DEFAULT_TEXT 1007
#define IDC_CAP_GET_LINES 1008
#define IDC_CAP_DEFAULT_LINES 1009
#define IDC_CAP_CURRENT_LINES 1010
#define IDC_CAP_SET 1015
#define IDC_CAP_GET 1016
#define IDC_CAP_GETCURRENT 1017
#define IDC_CAP_GETDEFAULT 1018
#define IDC_CAP_RESET 1019
#define IDC_CAP_GROUP 1025
#define IDC_CAP_SET_TABS 1062
#define IDC_CAP_ITEM_TYPE 1068
#define IDC_CAP_CANNOT_SET 1069
#define IDC_CAP_CANNOT_RESET 1070
#define IDM_CAP_SAVE_REPORT 40011

// Value editors (dialogs 135 to 138) and their pictures.
#define IDD_ENUM_EDITOR 135
#define IDD_ARRAY_EDITOR 136
#define IDD_RANGE_EDITOR 137
#define IDD_ONEVALUE_EDITOR 138
#define IDC_ONEVALUE_EDIT 1024
#define IDC_RANGE_CURRENT_LIST 1065
#define IDC_RANGE_DEFAULT_LIST 1066
#define IDC_RANGE_STEP 1067
#define IDC_RANGE_MIN_EDIT 1068
#define IDC_RANGE_MAX_EDIT 1069
#define IDC_RANGE_MIN_LIST 1070
#define IDC_RANGE_MAX_LIST 1071
#define IDC_RANGE_CURRENT_EDIT 1072
#define IDC_RANGE_DEFAULT_EDIT 1073
#define IDC_VALUE_LIST 1074
#define IDC_ONEVALUE_LIST 1077
#define IDC_VALUE_TOGGLE 1078
#define IDC_VALUE_CURRENT 1079
#define IDC_VALUE_DEFAULT 1080
#define IDB_VALUE_CHECKS 170
#define IDB_VALUE_MARKERS 171
#define IDB_VALUE_TOGGLE 172
#define IDB_VALUE_CURRENT 173
#define IDB_VALUE_DEFAULT 174

// Image Info page (dialog 104).
#define IDC_IMAGE_INFO_REPORT 1034
#define IDC_IMAGE_INFO_GET 1029

// Layout page (dialog 106) and its page diagram.
#define IDB_LAYOUT_DIAGRAM 160
#define IDC_LAYOUT_GET 1040
#define IDC_LAYOUT_GETDEFAULT 1041
#define IDC_LAYOUT_RESET 1042
#define IDC_LAYOUT_SET 1043
#define IDC_LAYOUT_LEFT 1044  // the seven fields follow in reading order
#define IDC_LAYOUT_TOP 1045
#define IDC_LAYOUT_RIGHT 1046
#define IDC_LAYOUT_BOTTOM 1047
#define IDC_LAYOUT_DOCUMENT_NUMBER 1048
#define IDC_LAYOUT_PAGE_NUMBER 1049
#define IDC_LAYOUT_FRAME_NUMBER 1050
#define IDC_LAYOUT_FRAME_BOX 1051
#define IDC_LAYOUT_DIAGRAM 1052

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
#define IDM_LOG_RECORD_TRACE 40003
#define IDM_LOG_STOP_TRACE 40004

// Check Source's report page (dialog 180).
#define IDD_CHECK_REPORT 180
#define IDC_CHECK_REPORT_TEXT 1100
#define IDC_CHECK_SAVE 1101

// The watchdog's window for a Source that does not return (dialog 170).
#define IDD_HANG_WATCH 170
#define IDC_HANG_TEXT 1090
#define IDC_HANG_WAIT 1091
#define IDC_HANG_END 1092
