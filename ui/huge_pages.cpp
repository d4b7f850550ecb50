#include "ui/huge_pages.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace tessaly::ui {
namespace {

constexpr char kHugePages[] = "glibc.malloc.hugetlb=1";

bool HugePagesOnRequestOnly() {
  std::ifstream setting("/sys/kernel/mm/transparent_hugepage/enabled");
  std::string modes;
  std::getline(setting, modes);
  return modes.find("[madvise]") != std::string::npos;
}

}  // namespace

void RequestHugePages(char** argv) {
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  if (tunables != nullptr) {
    // The C library read the setting at start; programs this one opens (the browser) need not
    // inherit what only this restart asked for.
    if (std::string_view(tunables) == kHugePages) unsetenv("GLIBC_TUNABLES");
    return;
  }
  if (!HugePagesOnRequestOnly() || setenv("GLIBC_TUNABLES", kHugePages, 0) != 0) return;
  // The real path, not /proc/self/exe: the kernel names the process after the file executed,
  // and `pgrep -x tessaly` should still find it.
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) execv(self.c_str(), argv);
  unsetenv("GLIBC_TUNABLES");  // the restart failed: carry on without
}

}  // namespace tessaly::ui
