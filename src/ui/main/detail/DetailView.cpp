#include "ui/main/detail/DetailView.h"

#include "ui/UiContext.h"
#include "ui/main/MainViewModel.h"

DetailView::DetailView(UiContext& ctx, MainViewModel& model, std::string recordID,
                       QWidget* parent)
    : QWidget(parent), ctx_(ctx), model_(model), recordID_(std::move(recordID)) {}
