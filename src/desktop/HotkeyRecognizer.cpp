#include "desktop/HotkeyRecognizer.h"

#include "util/UserDefaults.h"

HotkeyRecognizer::HotkeyRecognizer(std::function<double()> now, const UserDefaults& defaults)
    : now_(std::move(now)), defaults_(defaults) {}

std::uint32_t HotkeyRecognizer::chosenFlag(const std::optional<std::string>& setting) {
    if (!setting) return command;
    if (*setting == "option") return option;
    if (*setting == "control") return control;
    if (*setting == "shift") return shift;
    if (*setting == "none") return 0;
    return command;
}

void HotkeyRecognizer::keyDown() {
    if (chosenFlag(defaults_.stringValue("hotkeyModifier")) == 0) return;
    otherKeySeen_ = true;
}

bool HotkeyRecognizer::flagsChanged(std::uint32_t flags) {
    const std::uint32_t chosen = chosenFlag(defaults_.stringValue("hotkeyModifier"));
    if (chosen == 0) return false;

    if (flags & (kAllModifiers & ~chosen)) otherKeySeen_ = true;

    if (flags & chosen) {
        if (!keyIsDown_) {
            keyIsDown_ = true;
            otherKeySeen_ = false;  // keys typed between two presses do not spoil the next
        }
        return false;
    }
    if (!keyIsDown_) return false;

    keyIsDown_ = false;
    const double t = now_();
    if (otherKeySeen_) {
        lastTapAt_.reset();
        return false;
    }
    double limit = defaults_.doubleValue("hotkeyInterval").value_or(0);
    if (!(limit > 0)) limit = kDefaultInterval;
    if (lastTapAt_ && t - *lastTapAt_ < limit) {
        lastTapAt_.reset();
        return true;
    }
    lastTapAt_ = t;
    return false;
}

void HotkeyRecognizer::releaseMissed() {
    if (!keyIsDown_) return;
    keyIsDown_ = false;
    lastTapAt_.reset();
}
