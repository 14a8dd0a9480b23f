#pragma once
// Lets every service call in flight finish and hands each outcome to its receiver.
#include <QCoreApplication>

#include "service/ServiceCall.h"

inline void settleServiceCalls() {
    servicecall_detail::pool()->waitForDone(20000);
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}
