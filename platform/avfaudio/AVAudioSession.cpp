#include "platform/avfaudio/AVAudioSession.h"

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"

namespace platform {

AVAudioSession::AVAudioSession() {
    registerSharedInstanceReset([this] { reset(); });
}

AVAudioSession& AVAudioSession::sharedInstance() {
    static AVAudioSession instance;
    return instance;
}

void AVAudioSession::reset() {
    std::lock_guard lock(mutex_);
    category_ = AVAudioSessionCategorySoloAmbient;
    mode_ = AVAudioSessionModeDefault;
    active_ = false;
    for (auto& f : failures_)
        f.reset();
    permission_ = AVAudioSessionRecordPermission::Granted;
    answer_ = true;
    requests_ = 0;
}

std::optional<NSError> AVAudioSession::setCategory(const AVAudioSessionCategory& category) {
    std::lock_guard lock(mutex_);
    if (auto& f = failures_[static_cast<int>(Step::category)]) return f;
    category_ = category;
    return std::nullopt;
}

std::optional<NSError> AVAudioSession::setMode(const AVAudioSessionMode& mode) {
    std::lock_guard lock(mutex_);
    if (auto& f = failures_[static_cast<int>(Step::mode)]) return f;
    mode_ = mode;
    return std::nullopt;
}

std::optional<NSError> AVAudioSession::setActive(bool active, unsigned) {
    std::lock_guard lock(mutex_);
    if (auto& f = failures_[static_cast<int>(Step::activation)]) return f;
    active_ = active;
    return std::nullopt;
}

AVAudioSessionCategory AVAudioSession::category() const {
    std::lock_guard lock(mutex_);
    return category_;
}

AVAudioSessionMode AVAudioSession::mode() const {
    std::lock_guard lock(mutex_);
    return mode_;
}

bool AVAudioSession::isActive() const {
    std::lock_guard lock(mutex_);
    return active_;
}

AVAudioSessionRecordPermission AVAudioSession::recordPermission() const {
    std::lock_guard lock(mutex_);
    return permission_;
}

void AVAudioSession::requestRecordPermission(std::function<void(bool)> response) {
    RunLoop::main().beginExternalWork();
    DispatchQueue::global().async([this, response = std::move(response)] {
        bool granted;
        {
            std::lock_guard lock(mutex_);
            ++requests_;
            if (permission_ == AVAudioSessionRecordPermission::Undetermined)
                permission_ = answer_ ? AVAudioSessionRecordPermission::Granted
                                      : AVAudioSessionRecordPermission::Denied;
            granted = permission_ == AVAudioSessionRecordPermission::Granted;
        }
        if (response) response(granted);
        RunLoop::main().endExternalWork();
    });
}

void AVAudioSession::injectFailure(Step step, std::optional<NSError> error) {
    std::lock_guard lock(mutex_);
    failures_[static_cast<int>(step)] = std::move(error);
}

void AVAudioSession::setRecordPermission(AVAudioSessionRecordPermission permission) {
    std::lock_guard lock(mutex_);
    permission_ = permission;
}

void AVAudioSession::setRecordPermissionAnswer(bool grants) {
    std::lock_guard lock(mutex_);
    answer_ = grants;
}

int AVAudioSession::permissionRequestCount() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

} // namespace platform
