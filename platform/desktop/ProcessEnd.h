#pragma once
// How the program's process ends once the application has terminated. Its saves are written and
// flushed first; then the process ends at once, without the static destructors: a worker still
// running (an export stuck on its input, a pass over a long transcript) may read the shared tables,
// the file manager, the console or the main loop until the very end, and none of them is destroyed
// beside it.

namespace platform {

class ProcessEnd {
public:
    // Writes what the preferences have not yet written, flushes the console's and the standard
    // streams, and ends the process with `status`. In a build with a leak checker the check runs
    // first, as it would at a normal exit.
    [[noreturn]] static void exit(int status);
};

} // namespace platform
