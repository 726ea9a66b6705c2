#include "cli/PermissionCommands.h"

#include "cli/ScriptInterpreter.h"
#include "platform/avfaudio/AVAudioSession.h"

using namespace platform;

namespace quillora::cli {

namespace {
constexpr const char* kUsage = "recordpermission granted|denied|undetermined [grant|deny]";
} // namespace

void addPermissionCommands(ScriptInterpreter& interpreter) {
    interpreter.addCommand("recordpermission", kUsage, [](ScriptInterpreter&, const ScriptLine& line) {
        ScriptInterpreter::requireWords(line, 1, kUsage);
        if (line.words.size() > 2) throw ScriptError(std::string("usage: ") + kUsage);
        AVAudioSessionRecordPermission permission;
        const std::string& state = line.words[0];
        if (state == "granted")
            permission = AVAudioSessionRecordPermission::Granted;
        else if (state == "denied")
            permission = AVAudioSessionRecordPermission::Denied;
        else if (state == "undetermined")
            permission = AVAudioSessionRecordPermission::Undetermined;
        else
            throw ScriptError("unknown record permission '" + state + "' (usage: " + kUsage + ")");
        bool grants = true;
        if (line.words.size() == 2) {
            if (line.words[1] == "deny")
                grants = false;
            else if (line.words[1] != "grant")
                throw ScriptError("unknown answer '" + line.words[1] + "' (usage: " + kUsage + ")");
        }
        auto& session = AVAudioSession::sharedInstance();
        session.setRecordPermission(permission);
        session.setRecordPermissionAnswer(grants);
    });
}

} // namespace quillora::cli
