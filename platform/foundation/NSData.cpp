#include "platform/foundation/NSData.h"

#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/Sandbox.h"

namespace platform {

bool NSData::writeToFile_atomically(const std::string& path, bool) const {
    return !NSFileManager::defaultManager().writeAtomically(path, bytes_).has_value();
}

std::string NSTemporaryDirectory() {
    std::string path = Sandbox::tmp().string();
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

} // namespace platform
