#include "platform/CaptureExclusion.h"

namespace CaptureExclusion {

bool supported() {
    return false;
}

bool setExcluded(QWindow* /*window*/, bool /*excluded*/) {
    return false;
}

}  // namespace CaptureExclusion
