#pragma once
// The shared audio session: category, mode, activation and the microphone permission. There is
// no system arbiter here, so each call succeeds unless a test has injected a failure for it.

#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "platform/foundation/NSError.h"

namespace platform {

using AVAudioSessionCategory = std::string;
using AVAudioSessionMode = std::string;

inline const AVAudioSessionCategory AVAudioSessionCategoryAmbient = "AVAudioSessionCategoryAmbient";
inline const AVAudioSessionCategory AVAudioSessionCategorySoloAmbient = "AVAudioSessionCategorySoloAmbient";
inline const AVAudioSessionCategory AVAudioSessionCategoryPlayback = "AVAudioSessionCategoryPlayback";
inline const AVAudioSessionCategory AVAudioSessionCategoryRecord = "AVAudioSessionCategoryRecord";
inline const AVAudioSessionCategory AVAudioSessionCategoryPlayAndRecord =
    "AVAudioSessionCategoryPlayAndRecord";
inline const AVAudioSessionMode AVAudioSessionModeDefault = "AVAudioSessionModeDefault";
inline const AVAudioSessionMode AVAudioSessionModeMeasurement = "AVAudioSessionModeMeasurement";
inline const AVAudioSessionMode AVAudioSessionModeSpokenAudio = "AVAudioSessionModeSpokenAudio";

// Posted (on the main thread) when the process's microphone is switched for another one.
inline const std::string AVAudioSessionRouteChangeNotification = "AVAudioSessionRouteChangeNotification";

enum AVAudioSessionSetActiveOptions : unsigned {
    AVAudioSessionSetActiveOptionNotifyOthersOnDeactivation = 1
};

enum class AVAudioSessionRecordPermission { Undetermined, Denied, Granted };

class AVAudioSession {
public:
    static AVAudioSession& sharedInstance();

    enum class Step { category, mode, activation };

    // Each returns the error that stopped it; the session keeps its previous state then.
    std::optional<NSError> setCategory(const AVAudioSessionCategory& category);
    std::optional<NSError> setMode(const AVAudioSessionMode& mode);
    std::optional<NSError> setActive(bool active, unsigned options = 0);

    AVAudioSessionCategory category() const;
    AVAudioSessionMode mode() const;
    bool isActive() const;

    // Granted unless a test or the program says otherwise.
    AVAudioSessionRecordPermission recordPermission() const;
    // Asks the user when undetermined; the reply comes on a background thread. The answer the user
    // gives is injectable (granted by default); a decided permission is answered as it stands.
    void requestRecordPermission(std::function<void(bool granted)> response);

    // Test and program hooks.
    void injectFailure(Step step, std::optional<NSError> error);
    void setRecordPermission(AVAudioSessionRecordPermission permission);
    void setRecordPermissionAnswer(bool grants);
    int permissionRequestCount() const;

private:
    AVAudioSession();
    void reset();

    mutable std::mutex mutex_;
    AVAudioSessionCategory category_ = AVAudioSessionCategorySoloAmbient;
    AVAudioSessionMode mode_ = AVAudioSessionModeDefault;
    bool active_ = false;
    std::optional<NSError> failures_[3];
    AVAudioSessionRecordPermission permission_ = AVAudioSessionRecordPermission::Granted;
    bool answer_ = true;
    int requests_ = 0;
};

} // namespace platform
