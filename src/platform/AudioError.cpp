#include "platform/AudioError.h"

AudioError::AudioError(int code, const std::string& message)
    : std::runtime_error(message), code_(code) {}

AudioError AudioError::noDisplay() {
    return {noCaptureTarget, "ディスプレイが見つかりません"};
}

AudioError AudioError::writerCouldNotStart() {
    return {writerFailed, "書き出しを開始できません"};
}

AudioError AudioError::mixFailure() {
    return {mixFailed, "音声のミックスに失敗しました"};
}
