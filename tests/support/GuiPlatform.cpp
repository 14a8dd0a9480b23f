#include "support/GuiPlatform.h"

#include <cstdlib>
#include <cstring>

namespace testsupport {

void chooseGuiPlatform() {
    const char* display = std::getenv("DISPLAY");
    const char* testDisplay = std::getenv("TAVRO_TEST_DISPLAY");
    const bool ownDisplay = display && testDisplay && std::strcmp(display, testDisplay) == 0;
    if (!std::getenv("QT_QPA_PLATFORM") && !ownDisplay) setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

}  // namespace testsupport
