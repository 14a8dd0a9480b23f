#include "desktop/MenuBarContent.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>

#include "desktop/UserText.h"
#include "engine/RecorderControl.h"

namespace {
// Same items apart from their texts and enabled state: the actions can be updated in place,
// which keeps an open menu open while the clock ticks.
// Labels carry the service's words (an update's version): "&" is no shortcut marker there.
QString actionText(const MenuItem& item) {
    return UserText::forMenu(QString::fromStdString(item.label));
}

bool sameShape(const std::vector<MenuItem>& a, const std::vector<MenuItem>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].kind != b[i].kind || a[i].action != b[i].action) return false;
    return true;
}
}  // namespace

MenuBarContent::MenuBarContent(RecorderControl& recorder, MenuActions actions, QObject* parent)
    : QObject(parent),
      recorder_(recorder),
      actions_(std::move(actions)),
      menu_(std::make_unique<QMenu>()) {
    connect(&recorder_, &RecorderControl::phaseChanged, this, &MenuBarContent::refresh);
    connect(&recorder_, &RecorderControl::elapsedChanged, this, &MenuBarContent::refresh);
    refresh();
}

MenuBarContent::~MenuBarContent() = default;

void MenuBarContent::setAvailableVersion(std::optional<std::string> version) {
    if (!version) return;  // a found version is never withdrawn
    availableVersion_ = std::move(version);
    refresh();
}

void MenuBarContent::refresh() {
    std::vector<MenuItem> next =
        menuItems(recorder_.phase(), recorder_.elapsed(), availableVersion_);
    if (next == items_) return;
    if (sameShape(next, items_)) {
        for (size_t i = 0; i < next.size(); ++i) {
            qactions_[i]->setText(actionText(next[i]));
            qactions_[i]->setEnabled(next[i].enabled);
        }
        items_ = std::move(next);
        return;
    }
    menu_->clear();
    qactions_.clear();
    items_ = std::move(next);
    for (const MenuItem& item : items_) {
        if (item.kind == MenuItem::Kind::separator) {
            qactions_.push_back(menu_->addSeparator());
            continue;
        }
        QAction* a = menu_->addAction(actionText(item));
        if (!item.shortcut.empty())
            a->setShortcut(QKeySequence(QString::fromStdString(item.shortcut)));
        a->setEnabled(item.enabled);
        const MenuItem::Action act = item.action;
        connect(a, &QAction::triggered, this, [this, act] { trigger(act); });
        qactions_.push_back(a);
    }
}

void MenuBarContent::trigger(MenuItem::Action action) {
    using A = MenuItem::Action;
    std::function<void()> fn;
    switch (action) {
        case A::none:
            return;
        case A::toggleRecording:
            recorder_.toggle();
            return;
        case A::openDownload:
            fn = actions_.openDownload;
            break;
        case A::openMainWindow:
            fn = actions_.openMainWindow;
            break;
        case A::openSettings:
            fn = actions_.openSettings;
            break;
        case A::quit:
            fn = actions_.quit;
            break;
    }
    if (fn) fn();
}
