// The windowed program as a whole: the main window code creates its windows
// and wires them together (this header's functions live in main_window.cpp).
// Written on the user-interface thread only.
#pragma once

#include <windows.h>

#include "activity/background_indexer.h"
#include "dialogs/save_as_dialog.h"
#include "shell/command_bar.h"
#include "shell/instance.h"
#include "shell/settings.h"
#include "tree/folder_tree.h"
#include "workspace/child_manager.h"

// Registers the window classes and creates the main window (shown with
// `show`). Tests call it in-process; the entry point too. Null on failure.
HWND CreateMainWindow(int show);

// What the message loop does with a message before translating and
// dispatching it (Ctrl+A, the modeless dialogs, MDI system keys). True when
// the message was consumed. Tests pump through it too.
bool PreTranslateAppMessage(MSG& message);

// The message loop of the program: runs until the quit message and returns
// its code.
int RunMessageLoop();

// The program's objects, for tests and benchmarks that drive it in-process.
// They are wired to each other from the start; the windows exist once
// CreateMainWindow has run (the handles are null before and after).
struct AppParts {
  Settings& settings;
  CommandBar& commandBar;
  FolderTree& folderTree;
  ChildManager& childManager;
  SaveAsDialog& saveAsDialog;
  FolderDropTarget& saveAsDrop;  // the Save As dialog as the tree's drop target
  HWND& mainWindow;              // "ORVANEL"
  HWND& mdiFrame;                // "MDIFrame"
  HWND& mdiClient;               // the workspace (MDI client)
  bool& isWindowsNT;             // halftone is offered only there
  // Indexes near what is on screen while the main window lives.
  activity::BackgroundIndexer& indexer;
};
AppParts App();

// Width of the folder tree column when nothing has moved the splitter.
constexpr int kFolderTreeWidth = 210;
// Width the command bar's host and rebar are created with.
constexpr int kCommandBarCreateWidth = 2699;
