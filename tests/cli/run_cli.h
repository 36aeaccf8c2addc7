// Runs an orvanel-cli command in-process with its output and error streams
// captured.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace cli_test {

using Command = int (*)(int, char**, std::FILE*, std::FILE*);

struct Result {
  int code = -1;
  std::string out, err;
};

inline Result RunCommand(Command command, std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  std::FILE* streams[2] = {std::tmpfile(), std::tmpfile()};
  Result r;
  if (streams[0] && streams[1])
    r.code = command(static_cast<int>(args.size()), argv.data(), streams[0], streams[1]);
  std::string* texts[2] = {&r.out, &r.err};
  for (int i = 0; i < 2; ++i) {
    if (!streams[i]) continue;
    std::rewind(streams[i]);
    for (int c; (c = std::fgetc(streams[i])) != EOF;) texts[i]->push_back(static_cast<char>(c));
    std::fclose(streams[i]);
  }
  return r;
}

}  // namespace cli_test
