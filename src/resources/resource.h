// Resource ids, named once. Used by the .rc files and the C++ code.
#pragma once

// Strings
#define IDS_APP_TITLE 103          // "32-канальный вольтметр"
#define IDS_CHANNELS_CAPTION 106   // "Отображение каналов"
#define IDC_SKALENOR 109           // window class "SKALENOR"

// Icons
#define IDI_SKALENOR 107
#define IDI_SMALL 108

// Menu and accelerators of the main window
#define IDR_MAINMENU 109
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDM_CHANNELS 32771
#define IDM_GRAPH 32772
#define IDM_OPEN 32773
#define IDM_SAVE 32774
#define IDM_EVENTS 32782
#define IDM_NETWORK 32775

// Dialog templates
#define IDD_CHANNELS 103           // channels and recording
#define IDD_GRAPH 136
#define IDD_ABOUT 140
#define IDD_EVENTS 142             // "Журнал событий"
#define IDD_NETWORK 141

// Channels-and-recording dialog controls
#define IDC_SELECTOR_FIRST 1000    // position 1; position p >= 2 is 1001 + p
#define IDC_SHOW_ALL 1001
#define IDC_HIDE_ALL 1002
#define IDC_RECORD_ALL 1034
#define IDC_RECORD_NONE 1035
#define IDC_RECORD_BOX_BASE_LOW 1035   // positions 1-8: 1035 + p
#define IDC_RECORD_BOX_BASE_HIGH 1043  // positions 9-32: 1043 + p
#define IDC_RECORD_STOP 1044
#define IDC_INTERVAL 1045
#define IDC_TIME_BASE 1046
#define IDC_WIDTH8 1047
#define IDC_WIDTH16 1048
#define IDC_WIDTH32 1049
#define IDC_WIDTH_GROUP 1050
#define IDC_MARK_SWITCHINGS 1089

// Indicator panel ("PANEL") controls
#define IDC_PANEL_VALUE 10001
#define IDC_PANEL_NUMBER 10002
#define IDC_PANEL_UNIT 10003
#define IDC_PANEL_NAME 1037
#define IDC_PANEL_REF_FIELD 10004
#define IDC_PANEL_ABS_FIELD 10005
#define IDC_PANEL_MAX_FIELD 10006
#define IDC_PANEL_MIN_FIELD 10007
#define IDC_PANEL_REC 10008
#define IDC_PANEL_OUTPUT 10009
#define IDC_PANEL_REF 1002
#define IDC_PANEL_MAX 1003
#define IDC_PANEL_MIN 1004
#define IDC_PANEL_SETTINGS 1005
#define IDC_PANEL_AC 1007

// Embedded seven-segment font (RCDATA)
#define IDR_SEVENSEG_FONT 200
// The network server's live page (RCDATA)
#define IDR_WEB_PAGE 201

// About box
#define IDC_ABOUT_NAME 1101
#define IDC_ABOUT_VERSION 1102

// Channel settings dialog ("TOOLS"); Ref, Max and Min share the panel's ids
#define IDC_TOOLS_KEY0 1005        // keys "0"-"9" are 1005-1014
#define IDC_TOOLS_KEY9 1014
#define IDC_TOOLS_POINT 1015
#define IDC_TOOLS_MINUS 1016
#define IDC_TOOLS_BACKSPACE 1017
#define IDC_TOOLS_OK 1018
#define IDC_TOOLS_REF 1002
#define IDC_TOOLS_MAX 1003
#define IDC_TOOLS_MIN 1004
#define IDC_TOOLS_REF_FIELD 10004
#define IDC_TOOLS_MAX_FIELD 10006
#define IDC_TOOLS_MIN_FIELD 10007
#define IDC_TOOLS_K 1034
#define IDC_TOOLS_B 1035
#define IDC_TOOLS_UNIT 1036
#define IDC_TOOLS_NAME 1037
#define IDC_TOOLS_INTERVAL 1038
#define IDC_TOOLS_OUTPUT 1051
#define IDC_TOOLS_GAIN4 1052
#define IDC_TOOLS_GAIN1 1053
#define IDC_TOOLS_GAIN2 1054
#define IDC_TOOLS_GAIN3 1055
#define IDC_TOOLS_GAIN_GROUP 1056

// Graph window (template 136) and its rename dialog ("NAMEPLOT")
#define IDC_GRAPH_TRACE1 1091      // channel of trace 1; traces 2-8 are 1093-1099
#define IDC_GRAPH_VSCROLL 1092
#define IDC_GRAPH_TRACE2 1093
#define IDC_GRAPH_SCALE 1100       // time scale
#define IDC_PLOT_NAME 1103
#define IDC_GRAPH_PRINT 1105
#define CMD_RENAME_GRAPH 12000
#define CMD_LEFT_SCALE_BASE 12100  // + trace 1-8
#define CMD_RIGHT_SCALE_BASE 12200 // + trace 1-8
#define CMD_SAVE_PICTURE 12001     // graph context menu: the page as a picture

// Recording viewer (skalenor-view.exe, viewer.rc); the main menu's command that starts it
#define IDM_VIEW_RECORDINGS 32781
#define IDR_VIEWER_MENU 300
#define IDD_VIEWER_MARKERS 301
#define IDC_MARKER_LIST 3001
#define IDC_MARKER_GO 3002
#define IDC_VIEW_PLOT 3010
#define IDC_VIEW_CHANNELS 3011
#define IDC_VIEW_STATUS 3012
#define IDC_VIEW_PROGRESS 3013
#define IDM_VIEWER_OPEN 33001
#define IDM_VIEWER_EXPORT 33002
#define IDM_VIEWER_PICTURE 33003
#define IDM_VIEWER_PRINT 33004
#define IDM_VIEWER_EXIT 33005
#define IDM_VIEWER_WHOLE 33010
#define IDM_VIEWER_UNDO 33011
#define IDM_VIEWER_ZOOM_IN 33012
#define IDM_VIEWER_ZOOM_OUT 33013
#define IDM_VIEWER_SECONDS 33014
#define IDM_VIEWER_CLOCK 33015
#define IDM_VIEWER_MARKERS 33016
#define IDM_VIEWER_NO_CURSORS 33017
#define IDM_VIEWER_ABOUT 33020
#define CMD_VIEWER_LEFT_SCALE 34000  // + channel index (0: none is CMD_VIEWER_LEFT_SCALE - 1)
#define CMD_VIEWER_RIGHT_SCALE 36000 // + channel index

// Event window ("Журнал событий")
#define IDC_EVENT_LIST 1301
// Network access dialog ("Доступ по сети...")
#define IDC_WEB_ENABLE 1201
#define IDC_WEB_LOCAL 1202
#define IDC_WEB_LAN 1203
#define IDC_WEB_PORT 1204
#define IDC_WEB_URL 1205
