#include "engine/RecorderControl.h"

// Anchors the vtable and the moc output in one translation unit.
RecorderControl::~RecorderControl() = default;
