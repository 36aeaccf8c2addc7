#include <cstdio>

#include "cli/cli.h"

int main(int argc, char** argv) { return CliMain(argc, argv, stdout, stderr); }
