#pragma once
// Opens the main window's sheets (ask-across, the folder and tag manager, onboarding) when the
// view-model asks for them, and tells it when they close.
#include <QObject>

struct UiContext;
class MainViewModel;
class QWidget;

class DialogHost : public QObject {
    Q_OBJECT
public:
    DialogHost(UiContext& ctx, MainViewModel& model, QWidget* window);

private:
    UiContext& ctx_;
    MainViewModel& model_;
    QWidget* window_;
};
