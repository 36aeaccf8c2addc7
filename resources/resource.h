// Resource ids: one block per menu, dialog and picture. Shared by the
// resource script and the window code, so plain #defines only.
#pragma once

// Application icon, used by the main window, the "MDIFrame" window and About.
#define IDI_APP 107
// Save As dialog: the up and down arrows of its move buttons.
#define IDI_ARROW_UP 166
#define IDI_ARROW_DOWN 167

// Accelerators: "?" and "/" name the About command.
#define IDR_ACCELERATORS 128

// Bitmaps.
#define IDB_TREE_IMAGES 129        // 7 x (16 x 16), 4 bits: folder tree icons
#define IDB_TOOLBAR 144            // 18 x (32 x 30), 8 bits: picture buttons
#define IDB_MODE_CHECKED 147       // 147..151: playback mode checked, by mode
#define IDB_MODE_UNCHECKED 152     // 152..156: playback mode unchecked, by mode

// Menus (each popup is the first sub-menu of its resource).
#define IDM_FILE 132
#define IDM_HELP 133
#define IDM_VIEW 137
#define IDM_VIDEO_CONTROL 138      // a video window's context menu
#define IDM_CONTROL 157

// Commands of the command bar (menus and picture buttons).
#define ID_HELP_ABOUT 104
#define ID_FILE_EXIT 105
#define ID_FILE_SELECT_ROOT 32771
#define ID_CONTROL_FAST_REWIND 32773
#define ID_CONTROL_REWIND 32774
#define ID_CONTROL_PAUSE 32775
#define ID_CONTROL_FORWARD 32776
#define ID_CONTROL_FAST_FORWARD 32777
#define ID_FILE_OPTIONS 32778
#define ID_VIEW_TILE_HORIZONTAL 32784
#define ID_VIEW_TILE_VERTICAL 32785
#define ID_CONTROL_SELECT_ALL 32786
#define ID_VIEW_CASCADE 32793
#define ID_VIEW_HALF_SIZE 32794
#define ID_VIEW_ORIGINAL_SIZE 32795
#define ID_VIEW_DOUBLE_SIZE 32796
#define ID_VIEW_GRID 32797
#define ID_FILE_REFRESH_TREE 32799
#define ID_FILE_SAVE_AS 32800
#define ID_VIEW_FIT_SIZE 32805
// The selected windows on one clock (also the video window's menu and key S).
#define ID_CONTROL_SYNCHRONIZE 32830
// The selected windows to the start of the next / previous span of activity
// of their cameras (also the video window's menu, keys N and P).
#define ID_CONTROL_NEXT_ACTIVITY 32831
#define ID_CONTROL_PREVIOUS_ACTIVITY 32832
#define ID_VIEW_TIMELINE 32836

// Menu buttons of the command bar: ids that find the buttons, never commands.
#define ID_MENUBUTTON_FILE 32780
#define ID_MENUBUTTON_CONTROL 32781
#define ID_MENUBUTTON_VIEW 32782
#define ID_MENUBUTTON_HELP 32783

// Commands of a video window's context menu (menu 138).
#define ID_VIDEO_FAST_REWIND 32787
#define ID_VIDEO_REWIND 32788
#define ID_VIDEO_FORWARD 32789
#define ID_VIDEO_FAST_FORWARD 32790
#define ID_VIDEO_PAUSE 32791
#define ID_VIDEO_PLAY_CONTINUOUSLY 32792
#define ID_VIDEO_HALF_SIZE 32801
#define ID_VIDEO_ORIGINAL_SIZE 32802
#define ID_VIDEO_DOUBLE_SIZE 32803
#define ID_VIDEO_FIT_SIZE 32804
// The marked range: Mark In/Out of the frame shown, and Export Range (also
// in the File menu).
#define ID_VIDEO_EXPORT_RANGE 32833
#define ID_VIDEO_MARK_IN 32834
#define ID_VIDEO_MARK_OUT 32835
// The camera's search region: dragged on the picture, or removed.
#define ID_VIDEO_SET_SEARCH_REGION 32837
#define ID_VIDEO_CLEAR_SEARCH_REGION 32838

// Command bar controls.
#define IDC_REBAR 1000
#define IDC_PICTURE_TOOLBAR 1001
#define IDC_MENU_TOOLBAR 1002

// Log window.
#define IDC_LOG_LIST 26999

// Workspace: id of the first MDI child.
#define ID_FIRST_MDI_CHILD 30000

// Folder tree panel.
#define IDC_ROOT_SELECTOR 2670
#define IDC_BROWSE_ROOT 2699

// About dialog.
#define IDD_ABOUT 103
#define IDC_ABOUT_ICON 2
#define IDC_ABOUT_TEXT 1028

// Options dialog.
#define IDD_OPTIONS 145
#define IDC_OVER_MINUTE 1022
#define IDC_SAME_WINDOW 1023
#define IDC_HIGH_QUALITY 1025
#define IDC_STRETCH 1032

// Save As dialog.
#define IDD_SAVE_AS 141
#define IDC_INPUT_LIST 1009
#define IDC_SOURCE_FOLDER 1010
#define IDC_OUTPUT_BROWSE 1011
#define IDC_OUTPUT_NAME 1012
#define IDC_ADD 1013
#define IDC_MOVE_UP 1014
#define IDC_MOVE_DOWN 1015
#define IDC_REMOVE 1016
#define IDC_SAVE 1018
#define IDC_FORMAT 1019
#define IDC_BITRATE 1020
#define IDC_SOURCE_BROWSE 1026
#define IDC_RANGE_FROM 1040
#define IDC_RANGE_TO 1041
#define IDC_RANGE_HINT 1042
#define IDC_TIME_STAMP 1043
#define IDC_OUTPUT_LABEL 1045  // "File name (AVI)": names the chosen format

// Save Picture: the "Time stamp" box added under the file dialog's controls.
#define IDD_SAVE_PICTURE_STAMP 170
#define IDC_PICTURE_STAMP 1044

// Progress dialog ("Generating...").
#define IDD_PROGRESS 142
#define IDC_PROGRESS_BAR 1017
#define IDC_PROGRESS_CANCEL 1027
#define IDC_PROGRESS_STATUS 1031
