#pragma once
// The settings window: six tabs in a 560 × 560 window, opening on the first. Each tab holds its
// own container; their rows are added by the tabs themselves.
#include <QWidget>

struct UiContext;
class GeneralSettings;
class QTabWidget;

class SettingsView : public QWidget {
    Q_OBJECT
public:
    explicit SettingsView(UiContext& ctx, QWidget* parent = nullptr);

    QTabWidget* tabs() const { return tabs_; }

    struct Tab {
        const char* label;
        const char* symbol;
    };
    static const Tab kTabs[6];
    static constexpr QSize kSize{560, 560};

protected:
    // Closing the window ends what its tabs still do in the background.
    void closeEvent(QCloseEvent* event) override;

private:
    [[maybe_unused]] UiContext& ctx_;
    QTabWidget* tabs_;
    GeneralSettings* general_;
};
