// orvanel-cli: the command-line tool for people who script over backups.
// Each command takes the arguments after its name and the streams to write
// to, and returns the process exit code (0 done, 1 stopped/failed, 2 bad
// arguments or unreadable input).
#pragma once

#include <cstdio>

int CliMain(int argc, char** argv, std::FILE* out, std::FILE* err);

int CmdInfo(int argc, char** argv, std::FILE* out, std::FILE* err);
int CmdFrames(int argc, char** argv, std::FILE* out, std::FILE* err);
int CmdStill(int argc, char** argv, std::FILE* out, std::FILE* err);
int CmdExport(int argc, char** argv, std::FILE* out, std::FILE* err);
int CmdTimeline(int argc, char** argv, std::FILE* out, std::FILE* err);
int CmdVerify(int argc, char** argv, std::FILE* out, std::FILE* err);
int CmdActivity(int argc, char** argv, std::FILE* out, std::FILE* err);
