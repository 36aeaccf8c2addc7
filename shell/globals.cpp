// The program's global objects, defined in one translation unit so that they
// are built in this order and destroyed in the reverse order.
#include "export/save_as_dialog.h"
#include "shell/command_bar.h"
#include "shell/settings.h"
#include "tree/folder_tree.h"
#include "workspace/child_manager.h"

FolderTree g_folderTree;
ChildManager g_childManager;
CommandBar g_commandBar;
SaveAsDialog g_saveAsDialog;
Settings g_settings;
