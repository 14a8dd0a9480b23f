#pragma once
// The application: its windows (the main window and the settings), the tray item, the launch
// and quitting. Built over one AppServices; the windows reach the services through one
// UiContext.
#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QStringList>

#include <memory>

#include "app/MainWindow.h"
#include "ui/UiContext.h"

class AppDelegate;
class AppServices;
class MenuBarContent;
class MenuBarIcon;
class QScreen;
class UpdateChecker;
class WindowDialogs;

class TavroApp : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kHideMenuBarIconKey = "hideMenuBarIcon";
    // A title bar and thin borders: what most window managers add around the settings window,
    // which keeps its frame, before its real frame is known.
    static constexpr QMargins kLikelyFrame{2, 36, 2, 2};

    // `dialogs` (default: real message boxes and file choosers) answers the windows' questions.
    TavroApp(AppServices& services, UpdateChecker& updates, Dialogs* dialogs = nullptr,
             QObject* parent = nullptr);
    ~TavroApp() override;

    // The launch sequence, then the main window, with the activation token this start was
    // launched with where it has one.
    void launch(const QString& activationToken = {});
    // The arguments of a start: addresses go to the integration callback; a start without any
    // brings the main window back, with the start's activation token where it has one.
    void handleArguments(const QStringList& urls, const QString& activationToken = {});

    // Each brings its window up; the keyboard goes to the window on top, a modal one over it
    // where one is open.
    void showMainWindow(const QString& activationToken = {});
    void showSettings();
    // Quits the application; a recording in progress is finished into its files first.
    void quit();

    AppDelegate& delegate() const { return *delegate_; }
    UiContext& context() { return context_; }
    MainWindow* mainWindow() const { return mainWindow_; }
    QWidget* settingsWindow() const { return settingsWindow_; }
    MenuBarContent& menu() const { return *menu_; }
    MenuBarIcon& menuBarIcon() const { return *menuBarIcon_; }
    // Whether the tray item is asked to show ("hideMenuBarIcon" is not true).
    bool menuBarIconWanted() const;

private:
    void finishRecording();
    void placeSettings();
    void fitSettings(QRect wanted, const QScreen* screen, QMargins frame);
    void applyMenuBarIcon();

    AppServices& services_;
    UpdateChecker& updates_;
    std::unique_ptr<WindowDialogs> ownDialogs_;
    UiContext context_;
    std::unique_ptr<AppDelegate> delegate_;
    std::unique_ptr<MenuBarContent> menu_;
    std::unique_ptr<MenuBarIcon> menuBarIcon_;
    QPointer<MainWindow> mainWindow_;
    QPointer<QWidget> settingsWindow_;
};
