#include "ui/main/dialogs/ShareAccess.h"

#include "model/MinutesResult.h"
#include "ui/UiContext.h"

void openShareAccess(UiContext&, const MinutesResult&, const std::string&, QWidget*) {}
