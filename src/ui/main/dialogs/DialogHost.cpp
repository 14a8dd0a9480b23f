#include "ui/main/dialogs/DialogHost.h"

#include <QDialog>
#include <QEvent>
#include <QWidget>
#include <QWindow>

#include "library/MinutesStore.h"
#include "ui/UiContext.h"
#include "ui/main/MainViewModel.h"
#include "ui/main/dialogs/AskAllModel.h"
#include "ui/main/dialogs/AskAllView.h"
#include "ui/main/dialogs/LibraryManagerModel.h"
#include "ui/main/dialogs/LibraryManagerView.h"
#include "ui/main/dialogs/OnboardingModel.h"
#include "ui/main/dialogs/OnboardingView.h"

DialogHost::DialogHost(UiContext& ctx, MainViewModel& model, QWidget* window)
    : QObject(window), ctx_(ctx), model_(model), window_(window) {
    connect(&model_, &MainViewModel::presentationChanged, this, &DialogHost::follow);
}

AskAllView* DialogHost::askAll() const {
    return askAll_;
}

LibraryManagerView* DialogHost::libraryManager() const {
    return manager_;
}

OnboardingView* DialogHost::onboarding() const {
    return onboarding_;
}

template <typename Closed>
void DialogHost::present(QDialog* sheet, Closed closed) {
    connect(sheet, &QDialog::finished, this, closed);
    QWindow* handle = window_->window()->windowHandle();
    if (!handle || handle->isExposed()) {
        sheet->open();
        return;
    }
    // Closed before it could open (the view-model changed its mind): it never opens.
    connect(sheet, &QDialog::finished, this, [this, sheet] { std::erase(waiting_, sheet); });
    waiting_.emplace_back(sheet);
    handle->installEventFilter(this);
}

bool DialogHost::eventFilter(QObject* watched, QEvent* event) {
    auto* handle = qobject_cast<QWindow*>(watched);
    if (event->type() == QEvent::Expose && handle && handle->isExposed()) {
        handle->removeEventFilter(this);
        // After the window has taken in its exposure, never inside it.
        QMetaObject::invokeMethod(this, &DialogHost::openWaiting, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

void DialogHost::openWaiting() {
    const auto waiting = std::exchange(waiting_, {});
    for (const QPointer<QDialog>& sheet : waiting) {
        if (!sheet) continue;
        sheet->open();
        // The window manager may still be busy giving the window the focus it took on mapping.
        sheet->raise();
        sheet->activateWindow();
    }
}

void DialogHost::follow() {
    if (model_.showOnboarding() && !onboarding_) {
        onboarding_ =
            new OnboardingView(new OnboardingModel(ctx_.defaults, SoundSettings::find()), window_);
        connect(&onboarding_->model(), &OnboardingModel::completed, &model_,
                &MainViewModel::completeOnboarding);
        // Closed any other way, the guide comes back the next time the window is shown.
        present(onboarding_, [this] {
            onboarding_ = nullptr;
            model_.setShowOnboarding(false);
        });
    } else if (!model_.showOnboarding() && onboarding_) {
        onboarding_->close();
    }

    if (model_.showAskAll() && !askAll_) {
        askAll_ = new AskAllView(new AskAllModel(ctx_.store.records(), ctx_.defaults), window_);
        connect(askAll_, &AskAllView::recordChosen, &model_,
                [this](const QString& id) { model_.askAllSelected(id.toStdString()); });
        present(askAll_, [this] {
            askAll_ = nullptr;
            model_.setShowAskAll(false);
        });
    } else if (!model_.showAskAll() && askAll_) {
        askAll_->close();
    }

    if (model_.showLibraryManager() && !manager_) {
        manager_ = new LibraryManagerView(new LibraryManagerModel(ctx_.library), window_);
        present(manager_, [this] {
            manager_ = nullptr;
            model_.setShowLibraryManager(false);
        });
    } else if (!model_.showLibraryManager() && manager_) {
        manager_->close();
    }
}
