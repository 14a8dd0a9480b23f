#pragma once
// Opens the main window's sheets (ask-across, the folder and tag manager, onboarding) when the
// view-model asks for them, and tells it when they close. A sheet asked for before its window is
// on screen (the welcome at the first start) waits for the window: shown first, it would come up
// under the window, and a Wayland compositor would not know the window it belongs to.
#include <QObject>
#include <QPointer>

#include <vector>

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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow();
    // Opens `sheet` over the window, at once or once the window is on screen; its closing turns
    // the flag off through `closed`.
    template <typename Closed>
    void present(QDialog* sheet, Closed closed);
    void openWaiting();

    UiContext& ctx_;
    MainViewModel& model_;
    QWidget* window_;
    QPointer<AskAllView> askAll_;
    QPointer<LibraryManagerView> manager_;
    QPointer<OnboardingView> onboarding_;
    std::vector<QPointer<QDialog>> waiting_;
};
