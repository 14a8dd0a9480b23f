#include "ui/main/dialogs/DialogHost.h"

#include <QWidget>

#include "ui/UiContext.h"
#include "ui/main/MainViewModel.h"

DialogHost::DialogHost(UiContext& ctx, MainViewModel& model, QWidget* window)
    : QObject(window), ctx_(ctx), model_(model), window_(window) {}
