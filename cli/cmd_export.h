// Pieces of `orvanel-cli export` that its tests reach directly.
#pragma once

#include <string>
#include <vector>

// Appends the minute folders at or below `folder` (each with its final
// separator) in the folder tree's order: a folder that holds ".jpg" files
// is a minute folder; otherwise its level is told from its name (a date, or
// an hour inside a date) or its children (a camera holds dates; anything
// else is taken as a backup root holding cameras), and the folders below
// are walked by the backup's level rules. Minute folders already in
// `minutes` (compared without regard to case) are not added again.
// Returns false with `error` set when `folder` is not a readable folder.
bool ExpandExportFolder(const std::string& folder, std::vector<std::string>& minutes,
                        std::string* error);
