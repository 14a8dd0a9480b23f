// Windows opened to be typed into take what is typed at once into their first field. The keys
// are the X server's, typed into whatever window the window manager gave the focus, as a user
// types them.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>

#include <xcb/xcb.h>

#include <functional>

#include "Screenshots.h"
#include "UiFixture.h"
#include "support/KeyboardLock.h"
#include "support/TestEnv.h"
#include "ui/main/MainView.h"
#include "ui/main/MainViewModel.h"
#include "ui/main/detail/DetailActionButtons.h"
#include "ui/main/dialogs/DialogHost.h"
#include "ui/main/dialogs/LibraryManagerModel.h"
#include "ui/main/dialogs/LibraryManagerView.h"
#include "ui/main/dialogs/ShareAccessModel.h"
#include "ui/main/dialogs/ShareAccessView.h"
#include "ui/main/sidebar/FilterPopup.h"
#include "ui/main/sidebar/SidebarButton.h"
#include "ui/main/sidebar/SidebarView.h"
#include "ui/settings/AccountSettings.h"
#include "ui/settings/AccountSettingsModel.h"
#include "ui/settings/SettingsView.h"

// Named: the test programs compile their sources in batches, where other files have helpers of
// these names.
namespace firstfield {

using uitest::shoot;
using uitest::waitFor;

// The window that has the X server's keyboard focus is `w`.
bool xFocused(const QWidget& w) {
    auto* c = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    auto* r = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
    const bool yes = r && r->focus == xcb_window_t(w.winId());
    free(r);
    return yes;
}

// Runs xdotool with the event loop turning, so that the windows answer meanwhile.
bool xdo(const QStringList& args) {
    QProcess p;
    p.start("xdotool", args);
    return waitFor([&] { return p.state() == QProcess::NotRunning; }) &&
           p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Types `keys` (key names) into the focused window.
bool type(const QStringList& keys) {
    return xdo(QStringList{"key"} + keys);
}

// Clicks the middle of `w` with the pointer.
bool click(const QWidget& w) {
    const QPoint at = w.mapToGlobal(w.rect().center());
    return xdo(
        {"mousemove", "--sync", QString::number(at.x()), QString::number(at.y()), "click", "1"});
}

template <typename T>
T* topLevel() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* t = qobject_cast<T*>(w); t && t->isVisible()) return t;
    return nullptr;
}

class FirstFieldTest : public WindowFixture {};

TEST_F(FirstFieldTest, WhatIsTypedAtOnceGoesIntoTheFirstField) {
    TAVRO_REQUIRE_ENV("window manager", testsupport::probeWindowManager());
    TAVRO_REQUIRE_ENV("xdotool", !QStandardPaths::findExecutable("xdotool").isEmpty());
    TAVRO_REQUIRE_ENV("secret service", testsupport::probeSecretService());
    testsupport::KeyboardLock keyboard;
    // The pointer goes back where it was: a test after this one may find a window under it.
    const QPoint pointer = QCursor::pos();
    const auto putBack = qScopeGuard([&] {
        xdo({"mousemove", "--sync", QString::number(pointer.x()), QString::number(pointer.y())});
    });
    logIn();
    defaults.set(MainViewModel::kOnboardingKey, true);
    const std::string id = addRecord("週次定例").id;
    MainView main(ctx);
    main.resize(1100, 760);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    main.model().setSelectedID(id);
    ASSERT_TRUE(waitFor([&] { return main.findChild<DetailActionButtons*>() != nullptr; }));
    SettingsView settings(ctx);
    AccountSettings* account = nullptr;

    ShareAccessView* share = nullptr;
    LibraryManagerView* manager = nullptr;
    FilterPopup* filter = nullptr;
    const struct {
        const char* name;
        std::function<QWidget*()> open;  // the window that the keys reach
        std::function<QLineEdit*()> field;
        QStringList keys;
        QString text;
        std::function<QString()> kept;   // the text as the model keeps it
        std::function<QWidget*()> next;  // has the keyboard after Tab
        std::function<void()> close;
    } cases[] = {
        {"share",
         [&]() -> QWidget* {
             auto* buttons = main.findChild<DetailActionButtons*>();
             buttons->rebuildMenus();
             buttons->shareMenu()->actions().at(0)->trigger();  // "メンバーと共有・権限設定…"
             return share = topLevel<ShareAccessView>();
         },
         [&] { return share->emailField(); },
         {"b", "o", "b"},
         "bob",
         [&] { return QString::fromStdString(share->model().email()); },
         [&] { return share->rolePicker(); },
         [&] { share->reject(); }},
        {"folders and tags",
         [&]() -> QWidget* {
             main.sidebar()->managerButton()->click();
             waitFor([&] { return main.dialogHost()->libraryManager() != nullptr; });
             return manager = main.dialogHost()->libraryManager();
         },
         [&] { return manager->folderField(); },
         {"d", "o", "c", "s"},
         "docs",
         [&] { return QString::fromStdString(manager->model().newFolderName()); },
         [&] { return manager->addFolderButton(); },
         [&] { manager->reject(); }},
        {"filter",
         [&]() -> QWidget* {
             main.sidebar()->filterButton()->click();
             filter = qobject_cast<FilterPopup*>(QApplication::activePopupWidget());
             // A popup has no focus of its own: the keys reach it through the window.
             return filter ? &main : nullptr;
         },
         [&] { return filter->participant(); },
         {"s", "a", "t", "o"},
         "sato",
         [&] { return QString::fromStdString(main.model().participant()); },
         [&] { return filter->dateRange(); },
         [&] { filter->close(); }},
        {"account code",
         [&]() -> QWidget* {
             settings.tabs()->setCurrentIndex(5);
             settings.show();
             account = qobject_cast<AccountSettings*>(settings.tabs()->currentWidget());
             // Where Qt has it active, it also knows where the window manager put it.
             if (!account ||
                 !waitFor([&] { return xFocused(settings) && settings.isActiveWindow(); }))
                 return nullptr;
             // The address typed into its field, then the button pressed.
             if (!click(*account->emailField()) ||
                 !waitFor([&] { return account->emailField()->hasFocus(); }) ||
                 !type({"m", "e", "at", "x", "period"}) ||
                 !waitFor([&] { return account->requestButton()->isEnabled(); }) ||
                 !click(*account->requestButton()) ||
                 !waitFor([&] { return account->shownPage() == 1; }))
                 return nullptr;
             return &settings;
         },
         [&] { return account->codeField(); },
         {"1", "2", "3", "4", "5", "6"},
         "123456",
         [&] { return account->model().code(); },
         [&] { return account->verifyButton(); },
         [] {}},
        {"account e-mail again",
         [&]() -> QWidget* {
             if (!click(*account->backButton())) return nullptr;
             return waitFor([&] { return account->shownPage() == 0; }) ? &settings : nullptr;
         },
         [&] { return account->emailField(); },
         {"j", "p"},
         "me@x.jp",
         [&] { return account->model().email(); },
         [&] { return account->requestButton(); },
         [&] { settings.close(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget* window = c.open();
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(
            waitFor([&] { return xFocused(*window) && c.field()->window()->isActiveWindow(); }));
        ASSERT_TRUE(type(c.keys));
        EXPECT_TRUE(waitFor([&] { return c.field()->text() == c.text; }))
            << c.field()->text().toStdString();
        EXPECT_EQ(c.kept(), c.text);
        shoot(*c.field()->window(),
              QStringLiteral("typed-at-once-%1").arg(c.name).replace(' ', '-'));
        // Tab moves on to the next control, where the keyboard shows.
        ASSERT_TRUE(type({"Tab"}));
        EXPECT_TRUE(waitFor([&] { return QApplication::focusWidget() == c.next(); }))
            << (QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className()
                                            : "nothing");
        c.close();
    }
}

}  // namespace firstfield
