#pragma once
// What the dialog tests share: the stores, the fake service with a signed-in user, waiting for
// a condition, and screenshots kept as artifacts.
#include "../Screenshots.h"
#include "../UiFixture.h"

using uitest::shoot;
using uitest::waitFor;
