// Pieces of `orvanel-cli export` that its tests reach directly.
#pragma once

#include <string>
#include <vector>

// Appends the minute folders at or below `folder` (each with its final
// separator): a folder that holds ".jpg" files is a minute folder; a
// camera, date, hour or minute folder gives its minute folders in time
// order (store's ListMinuteFolders); anything else is taken as a backup
// root, whose cameras are expanded one after another. Minute folders
// already in `minutes` (compared without regard to case) are not added
// again. Returns false with `error` set when `folder` is not a folder.
bool ExpandExportFolder(const std::string& folder, std::vector<std::string>& minutes,
                        std::string* error);
