#pragma once
// The first-run guide's state: three steps (welcome, getting the sound ready, connecting the
// services), the connection rows that follow the settings live, and one completion.
#include <QObject>
#include <QString>

#include <optional>
#include <string>
#include <vector>

#include "ui/main/dialogs/SoundSettings.h"

class UserDefaults;

class OnboardingModel : public QObject {
    Q_OBJECT
public:
    struct Connection {
        QString name;
        std::string provider;
        bool connected = false;
        bool operator==(const Connection&) const = default;
    };

    static constexpr int kLastStep = 2;

    // `soundSettings`: the program the microphone button opens; none hides the button.
    OnboardingModel(UserDefaults& defaults, std::optional<SoundSettings> soundSettings,
                    QObject* parent = nullptr);

    int step() const { return step_; }
    QString symbol() const;
    QString title() const;
    // The welcome and the sound step's text; empty on the last step.
    QString text() const;
    bool canGoBack() const { return step_ > 0; }
    QString primaryTitle() const;

    // Notion, Slack, Discord, each connected while its setting holds a value.
    std::vector<Connection> connections() const;
    void connectService(const std::string& provider);

    bool canOpenSoundSettings() const { return soundSettings_.has_value(); }
    void openSoundSettings();

    // Why what was last asked for on this step did not open (no browser, no settings program);
    // empty when it did, and again on another step.
    const QString& problem() const { return problem_; }

    // "次へ", and on the last step the completion, reported once.
    void next();
    void back();

signals:
    void changed();
    void completed();

private:
    void setProblem(const QString& problem);

    UserDefaults& defaults_;
    std::optional<SoundSettings> soundSettings_;
    int step_ = 0;
    bool completed_ = false;
    QString problem_;
};
