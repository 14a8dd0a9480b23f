#pragma once
// Opens the main window's sheets (ask-across, the folder and tag manager, onboarding) when the
// view-model asks for them, and tells it when they close.
#include <QObject>
#include <QPointer>

struct UiContext;
class AskAllView;
class LibraryManagerView;
class MainViewModel;
class OnboardingView;
class QDialog;
class QWidget;

class DialogHost : public QObject {
    Q_OBJECT
public:
    DialogHost(UiContext& ctx, MainViewModel& model, QWidget* window);

    // The open sheets; none while closed.
    AskAllView* askAll() const;
    LibraryManagerView* libraryManager() const;
    OnboardingView* onboarding() const;

private:
    void follow();
    // Opens `sheet` over the window; its closing turns the flag off through `closed`.
    template <typename Closed>
    void present(QDialog* sheet, Closed closed);

    UiContext& ctx_;
    MainViewModel& model_;
    QWidget* window_;
    QPointer<AskAllView> askAll_;
    QPointer<LibraryManagerView> manager_;
    QPointer<OnboardingView> onboarding_;
};
