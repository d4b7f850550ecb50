#pragma once

namespace tessaly::ui {

/// Where the system gives transparent huge pages only to memory that asks for them, restarts the
/// program once with the C library asking (GLIBC_TUNABLES=glibc.malloc.hugetlb=1), and returns
/// only when there is nothing to do or the restart failed. Laying a long pasted line out makes the
/// toolkit touch about 35 bytes a character at once; in 2 MiB pages that costs a fraction of what
/// it costs in 4 KiB ones. A GLIBC_TUNABLES already set is the user's choice and stays as it is.
void RequestHugePages(char** argv);

}  // namespace tessaly::ui
