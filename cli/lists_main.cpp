// tessaly-lists: the mode table and the option words, as the build generates the manual page and
// the shell completions from them (cli/lists.h). Run at build time only; not installed.
#include <iostream>

#include "cli/lists.h"

int main() {
  std::cout << tessaly::cli::Lists();
  std::cout.flush();
  return std::cout ? 0 : 1;
}
