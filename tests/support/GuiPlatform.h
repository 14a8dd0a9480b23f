#pragma once

namespace testsupport {

// For test programs that create a GUI application: draw on the test X server when
// scripts/test-env.sh provides one, and offscreen otherwise, so that a run from a desktop
// session never puts windows on the user's own display. Call before the application object.
void chooseGuiPlatform();

}  // namespace testsupport
