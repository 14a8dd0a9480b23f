// The account tab against the fake service, with pictures of its three states.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "SettingsFixture.h"
#include "ui/settings/AccountSettings.h"
#include "ui/settings/AccountSettingsModel.h"

namespace {

using settingstest::shoot;
using settingstest::waitFor;
using Page = AccountSettingsModel::Page;

class AccountSettingsTest : public settingstest::SettingsFixture {
protected:
    std::string sent(const char* path, const char* field) {
        const auto r = service.requests("POST", path);
        return r.empty() ? "-" : json::asString(r.back().json().at(field), field);
    }
};

TEST_F(AccountSettingsTest, WhenTheButtonsMaySend) {
    AccountSettingsModel m(services.auth, store);
    for (const auto& [email, ok] :
         {std::pair{"", false}, {"user.example.jp", false}, {"@", true}, {" a@b ", true}}) {
        m.setEmail(QString::fromUtf8(email));
        EXPECT_EQ(m.canRequestCode(), ok) << email;
    }
    for (const auto& [code, ok] : {std::pair{"12345", false},
                                   {"1234567", false},
                                   {" 123456\t", true},
                                   {"１２３４５６", true}}) {
        m.setCode(QString::fromUtf8(code));
        EXPECT_EQ(m.canVerify(), ok) << code;
    }
    for (const char* plan : {"pro", "Pro", "free", "", "team"}) {
        services.auth.setState(AuthModel::LoggedIn{"a@x.jp", plan});
        EXPECT_EQ(m.planBadge(), plan == std::string("pro") ? "Pro" : "Free") << plan;
    }
}

TEST_F(AccountSettingsTest, LoginByCodeThenLogout) {
    AccountSettings tab(ctx);
    tab.resize(560, 520);
    tab.show();
    shoot(tab, QStringLiteral("settings-account-email"));

    // A refused request shows the service's error and leaves the step as it was.
    service.script("POST", "/api/auth/request-code",
                   FakeService::Reply::withJson(400, {{"error", "メールアドレスが不正です"}}));
    QTest::keyClicks(tab.emailField(), QStringLiteral("  me@x.jp "));
    tab.requestButton()->click();
    EXPECT_EQ(tab.requestButton()->text(), "送信中…");
    EXPECT_FALSE(tab.requestButton()->isEnabled());
    ASSERT_TRUE(waitFor([&] { return !services.auth.busy(); }));
    EXPECT_EQ(tab.error()->text(), "メールアドレスが不正です");
    EXPECT_EQ(tab.shownPage(), 0);

    service.clearScripts();
    tab.requestButton()->click();
    ASSERT_TRUE(waitFor([&] { return tab.shownPage() == 1; }));
    EXPECT_EQ(sent("/api/auth/request-code", "email"), "me@x.jp");

    // "戻る" keeps what was typed.
    tab.backButton()->click();
    EXPECT_EQ(tab.shownPage(), 0);
    EXPECT_EQ(tab.emailField()->text(), "  me@x.jp ");
    tab.requestButton()->click();
    ASSERT_TRUE(waitFor([&] { return tab.shownPage() == 1; }));
    QTest::keyClicks(tab.codeField(), QStringLiteral(" 123456 "));
    shoot(tab, QStringLiteral("settings-account-code"));
    tab.verifyButton()->click();
    EXPECT_EQ(tab.verifyButton()->text(), "確認中…");
    ASSERT_TRUE(waitFor([&] { return tab.shownPage() == 2; }));
    EXPECT_EQ(sent("/api/auth/verify", "code"), "123456");

    EXPECT_EQ(tab.count()->text(), "0件");
    addRecord("週次定例");
    EXPECT_EQ(tab.count()->text(), "1件");
    EXPECT_FALSE(tab.upgradeButton()->isEnabled());
    shoot(tab, QStringLiteral("settings-account-signed-in"));
    tab.logoutButton()->click();
    EXPECT_EQ(tab.shownPage(), 0);
}

}  // namespace
