#include "export/save_as_dialog.h"

// Placeholder until the Save As dialog arrives: no window.
SaveAsDialog::SaveAsDialog() = default;
SaveAsDialog::~SaveAsDialog() = default;
int SaveAsDialog::Create(HWND) { return 0; }
void SaveAsDialog::Show() {}
int SaveAsDialog::IsDropPoint(const POINT*) const { return 0; }
int SaveAsDialog::AddDroppedFolder(const char*) { return 0; }
int SaveAsDialog::UpdateSaveButton() { return 0; }
