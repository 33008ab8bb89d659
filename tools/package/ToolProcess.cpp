#include "tools/package/ToolProcess.h"

#include <langinfo.h>

#include <clocale>
#include <csignal>
#include <cstring>

namespace Package {

void PrepareToolProcess() {
    std::signal(SIGPIPE, SIG_IGN);
    std::setlocale(LC_ALL, "");
    if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) std::setlocale(LC_CTYPE, "C.UTF-8");
}

}  // namespace Package
