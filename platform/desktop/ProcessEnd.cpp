#include "platform/desktop/ProcessEnd.h"

#include <cstdio>
#include <iostream>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include "platform/foundation/NSUserDefaults.h"

namespace platform {

void ProcessEnd::exit(int status) {
    NSUserDefaults::synchronizeStandardUserDefaults();
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
#if defined(__SANITIZE_ADDRESS__)
    __lsan_do_leak_check();
#endif
    _exit(status);
}

} // namespace platform
