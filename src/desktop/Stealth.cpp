#include "desktop/Stealth.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QVariant>
#include <QWidget>
#include <QWindow>

#include "platform/CaptureExclusion.h"
#include "util/UserDefaults.h"

namespace {

constexpr const char* kSharingProperty = "tavroSharingType";
constexpr const char* kBehaviorProperty = "tavroCollectionBehavior";
constexpr int kReapplyMs = 5000;

// A top-level widget seen through StealthWindow; its values live in dynamic properties.
class WidgetWindow final : public StealthWindow {
public:
    explicit WidgetWindow(QWidget* w) : w_(w) {}

    bool isPanel() const override { return w_->windowType() == Qt::Tool; }
    bool isResizable() const override {
        return w_->minimumSize() != w_->maximumSize() &&
               !w_->windowFlags().testFlag(Qt::MSWindowsFixedSizeDialogHint);
    }
    SharingType sharingType() const override { return Stealth::sharingType(w_); }
    void setSharingType(SharingType type) override { Stealth::setSharingType(w_, type); }
    std::uint32_t collectionBehavior() const override {
        return w_->property(kBehaviorProperty).toUInt();
    }
    void setCollectionBehavior(std::uint32_t behavior) override {
        w_->setProperty(kBehaviorProperty, behavior);
    }

private:
    QWidget* w_;
};

QPointer<QTimer>& timer() {
    static QPointer<QTimer> t;
    return t;
}

QMetaObject::Connection& focusConnection() {
    static QMetaObject::Connection c;
    return c;
}

}  // namespace

namespace Stealth {

bool enabled(const UserDefaults& defaults) {
    return defaults.boolOr("stealthMode", true);
}

bool enabled() {
    return enabled(UserDefaults::standard());
}

bool supported() {
    return CaptureExclusion::supported();
}

SharingType sharingType(const QWidget* window) {
    const QVariant v = window->property(kSharingProperty);
    return v.isValid() && v.toInt() == 0 ? SharingType::none : SharingType::readOnly;
}

void setSharingType(QWidget* window, SharingType type) {
    window->setProperty(kSharingProperty, static_cast<int>(type));
    // The request goes to the system too, which on Linux cannot honour it.
    if (window->windowHandle())
        CaptureExclusion::setExcluded(window->windowHandle(), type == SharingType::none);
}

void applyTo(const std::vector<StealthWindow*>& windows, bool stealth) {
    for (StealthWindow* w : windows) {
        if (w->isPanel()) {
            const SharingType wanted = stealth ? SharingType::none : SharingType::readOnly;
            if (w->sharingType() != wanted) w->setSharingType(wanted);
        } else if (w->isResizable()) {
            if (w->sharingType() != SharingType::readOnly) w->setSharingType(SharingType::readOnly);
            const std::uint32_t before = w->collectionBehavior();
            std::uint32_t after = before & ~StealthWindow::kFullScreenNone;
            after |= StealthWindow::kFullScreenPrimary;
            if (after != before) w->setCollectionBehavior(after);
        }
    }
}

void apply() {
    apply(UserDefaults::standard());
}

void apply(const UserDefaults& defaults) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
    std::vector<WidgetWindow> adapters;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        // Menus, tooltips and other popups are transient parts of the UI, not windows.
        if (w->windowType() == Qt::Popup || w->windowType() == Qt::ToolTip) continue;
        adapters.emplace_back(w);
    }
    std::vector<StealthWindow*> windows;
    for (WidgetWindow& a : adapters) windows.push_back(&a);
    applyTo(windows, enabled(defaults));
}

void start() {
    start(UserDefaults::standard());
}

void start(const UserDefaults& defaults) {
    apply(defaults);
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app) return;
    QObject::disconnect(focusConnection());
    focusConnection() = QObject::connect(app, &QGuiApplication::focusWindowChanged, app,
                                         [&defaults](QWindow*) { apply(defaults); });
    delete timer().data();
    timer() = new QTimer(app);
    timer()->setInterval(kReapplyMs);
    QObject::connect(timer().data(), &QTimer::timeout, [&defaults] { apply(defaults); });
    timer()->start();
}

}  // namespace Stealth
