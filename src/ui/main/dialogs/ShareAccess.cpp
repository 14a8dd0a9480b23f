#include "ui/main/dialogs/ShareAccess.h"

#include "model/MinutesResult.h"
#include "ui/UiContext.h"
#include "ui/main/dialogs/ShareAccessModel.h"
#include "ui/main/dialogs/ShareAccessView.h"

void openShareAccess(UiContext& ctx, const MinutesResult& minutes, const std::string& recordID,
                     QWidget* parent) {
    auto* model = new ShareAccessModel(ctx.library, ctx.defaults, recordID, minutes);
    auto* view = new ShareAccessView(model, parent);
    view->open();
    model->loadExistingShare();
}
