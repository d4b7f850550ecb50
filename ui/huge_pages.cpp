#include "ui/huge_pages.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace tessaly::gui {
namespace {

bool HugePagesOnRequestOnly() {
  std::ifstream setting("/sys/kernel/mm/transparent_hugepage/enabled");
  std::string modes;
  std::getline(setting, modes);
  return modes.find("[madvise]") != std::string::npos;
}

}  // namespace

void RequestHugePages(char** argv) {
  if (std::getenv("GLIBC_TUNABLES") != nullptr || !HugePagesOnRequestOnly()) return;
  if (setenv("GLIBC_TUNABLES", "glibc.malloc.hugetlb=1", 0) != 0) return;
  execv("/proc/self/exe", argv);
  unsetenv("GLIBC_TUNABLES");  // the restart failed: carry on without
}

}  // namespace tessaly::gui
