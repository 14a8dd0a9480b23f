// The first-run guide, on its own and as opened by the main window.
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QUrl>

#include <filesystem>

#include "DialogFixture.h"
#include "platform/Desktop.h"
#include "ui/main/MainView.h"
#include "ui/main/MainViewModel.h"
#include "ui/main/dialogs/DialogHost.h"
#include "ui/main/dialogs/OnboardingModel.h"
#include "ui/main/dialogs/OnboardingView.h"

class OnboardingTest : public WindowFixture {
protected:
    std::vector<QUrl> opened;
    bool browser = true;  // whether the desktop takes what is opened
    Desktop::Opener previous = Desktop::setOpener([this](const QUrl& url) {
        opened.push_back(url);
        return browser;
    });
    ~OnboardingTest() override { Desktop::setOpener(previous); }
};

// The microphone button opens the sound settings program.
TEST_F(OnboardingTest, StepsAndOneCompletion) {
    const auto marker = home.home() / "opened";
    OnboardingView view(new OnboardingModel(
        defaults, SoundSettings{"/bin/sh", {"-c", "echo $0 > " + marker.string(), "sound"}}));
    QSignalSpy completed(&view.model(), &OnboardingModel::completed);
    const char* const steps[][2] = {{"TAVROへようこそ", "次へ"},
                                    {"録音の準備", "次へ"},
                                    {"サービス連携", "セットアップを完了"}};
    for (int step = 0; step < 3; ++step) {
        EXPECT_EQ(view.titleLabel()->text(), QString::fromUtf8(steps[step][0]));
        EXPECT_EQ(view.primaryButton()->text(), QString::fromUtf8(steps[step][1]));
        EXPECT_EQ(view.backButton()->isVisibleTo(&view), step > 0);
        EXPECT_EQ(view.microphoneButton()->isVisibleTo(&view), step == 1);
        shoot(view, QStringLiteral("onboarding-step-%1").arg(step + 1));
        if (step == 1) view.microphoneButton()->click();
        view.primaryButton()->click();
    }
    view.primaryButton()->click();
    EXPECT_EQ(completed.count(), 1);
    view.backButton()->click();
    EXPECT_EQ(view.model().step(), 1);
    EXPECT_TRUE(waitFor([&] { return std::filesystem::exists(marker); }));
}

TEST_F(OnboardingTest, ConnectionRowsFollowTheSettings) {
    defaults.set("slackWebhook", "https://hooks.slack.example/T1");
    OnboardingView view(new OnboardingModel(defaults, std::nullopt));
    view.primaryButton()->click();
    EXPECT_FALSE(view.microphoneButton()->isVisibleTo(&view)) << "no sound settings program";
    const auto texts = [&] {
        QStringList out;
        for (const auto& row : view.connectionRows())
            out << row.button->text() + (row.button->isEnabled() ? "+" : "-");
        return out;
    };
    EXPECT_EQ(texts(), (QStringList{"接続する+", "接続済み-", "接続する+"}));
    view.connectionRows()[0].button->click();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_TRUE(opened[0].toString().contains("/api/oauth/notion/start"))
        << opened[0].toString().toStdString();

    defaults.set("discordWebhook", "https://discord.example/api/webhooks/1");
    EXPECT_EQ(texts(), (QStringList{"接続する+", "接続済み-", "接続済み-"}));
    view.primaryButton()->click();
    shoot(view, QStringLiteral("onboarding-connected"));
    defaults.remove("slackWebhook");
    EXPECT_EQ(texts(), (QStringList{"接続する+", "接続する+", "接続済み-"}));
}

// What did not open is said on its step, in red under the step's content, and is gone on the
// next step.
TEST_F(OnboardingTest, WhatCouldNotBeOpenedIsSaidOnItsStep) {
    browser = false;
    OnboardingView view(new OnboardingModel(
        defaults, SoundSettings{(home.home() / "no-such-program").string(), {}}));
    view.show();
    const struct {
        int step;
        QPushButton* button;
        QString text;
    } cases[] = {
        {1, view.microphoneButton(), QStringLiteral("サウンド設定を開けませんでした。")},
        {2, view.connectionRows()[2].button, Desktop::noBrowserText()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step);
        while (view.model().step() < c.step) view.primaryButton()->click();
        EXPECT_FALSE(view.problemLabel()->isVisible());
        c.button->click();
        EXPECT_TRUE(view.problemLabel()->isVisible());
        EXPECT_EQ(view.problemLabel()->text(), c.text);
        shoot(view, QStringLiteral("onboarding-cannot-open-%1").arg(c.step));
    }
    view.backButton()->click();
    EXPECT_FALSE(view.problemLabel()->isVisible());
    // Connected after all, as by hand in a browser: nothing is left to say.
    view.primaryButton()->click();
    view.connectionRows()[2].button->click();
    ASSERT_TRUE(view.problemLabel()->isVisible());
    defaults.set("discordWebhook", "https://discord.example/api/webhooks/1");
    EXPECT_FALSE(view.problemLabel()->isVisible());
}

TEST_F(OnboardingTest, TheMainWindowOpensItUntilCompleted) {
    defaults.remove(MainViewModel::kOnboardingKey);
    {
        MainView main(ctx);
        main.show();
        ASSERT_TRUE(main.dialogHost()->onboarding());
        main.dialogHost()->onboarding()->reject();
        EXPECT_FALSE(main.model().showOnboarding());
        EXPECT_FALSE(main.model().onboardingCompleted());
    }
    MainView main(ctx);
    main.show();
    OnboardingView* view = main.dialogHost()->onboarding();
    ASSERT_TRUE(view);
    for (int i = 0; i < 3; ++i) view->primaryButton()->click();
    EXPECT_TRUE(main.model().onboardingCompleted());
    EXPECT_TRUE(waitFor([&] { return main.dialogHost()->onboarding() == nullptr; }));
    MainView again(ctx);
    again.show();
    EXPECT_FALSE(again.model().showOnboarding()) << "never after completion";
}
