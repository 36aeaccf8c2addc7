// Path arguments of the command-line tool: trailing separators, checks that
// turn a bad folder into one clear message, and texts for platform errors.
#pragma once

#include <cstdio>
#include <string>

namespace cli {

// "cam/2004-03-15/12/58/" -> "cam/2004-03-15/12/58"; a root ("/", "C:\")
// keeps its separator.
std::string StripTrailingSeparators(const std::string& path);

// parent + separator + name, without doubling a separator the parent ends in.
std::string JoinPath(const std::string& parent, const std::string& name);

// A readable cause for an error code from the platform layer.
std::string ErrorText(int error);

// Checks that `path` is a folder that can be listed and is at most
// `maxLength` characters. On failure writes one line
// "orvanel-cli: <command>: '<path>': <cause>" to `err` and returns false.
bool CheckFolder(const char* command, const std::string& path,
                 std::size_t maxLength, std::FILE* err);

// A backup root looks like a camera by its name; it holds cameras, which
// hold dates, where a camera holds dates itself.
bool LooksLikeBackupRoot(const std::string& folder);

}  // namespace cli
