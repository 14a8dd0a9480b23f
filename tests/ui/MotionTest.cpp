// The animated views under the desktop's own setting to reduce motion (through GSettings and
// through a settings portal on the test bus), following it while they are shown; and a newly
// chosen record's pane rising into place.
#include <QHBoxLayout>
#include <QTest>
#include <QVBoxLayout>

#include <functional>
#include <optional>

#include "Screenshots.h"
#include "UiFixture.h"
#include "platform/DesktopMotionSetting.h"
#include "support/FakeSettingsPortal.h"
#include "support/ScopedGnomeSetting.h"
#include "support/TestEnv.h"
#include "ui/main/EmptyStateView.h"
#include "ui/main/MainView.h"
#include "ui/main/MainViewModel.h"
#include "ui/main/RecordingPulse.h"
#include "ui/main/ShimmerLine.h"
#include "ui/main/SparklePulse.h"
#include "ui/main/SpinnerRing.h"
#include "ui/main/detail/AgentProcessingBanner.h"
#include "ui/main/detail/AgentPulseBadge.h"
#include "ui/main/detail/DetailView.h"
#include "ui/main/sidebar/RecordListView.h"

namespace {

using Phase = RecorderControl::Phase;
using uitest::shoot;
using uitest::waitFor;

// The placeholder while minutes are made (a spinner, four shimmer lines), a recording pulse, a
// row's sparkle and the banner of an agent at work, side by side.
struct AnimatedViews {
    QWidget host;
    EmptyStateView* placeholder = new EmptyStateView;
    RecordingPulse* pulse = new RecordingPulse(16);
    SparklePulse* sparkle = new SparklePulse(11);
    AgentProcessingBanner* banner = new AgentProcessingBanner(QStringLiteral("Claude Code"));

    AnimatedViews() {
        auto* column = new QVBoxLayout(&host);
        auto* row = new QHBoxLayout;
        row->addWidget(placeholder, 1);
        row->addWidget(pulse);
        row->addWidget(sparkle);
        column->addLayout(row, 1);
        column->addWidget(banner);
        placeholder->setContent(EmptyStateContent::forState(Phase::processing, 0, std::nullopt));
        host.resize(560, 420);
    }
    const AgentPulseBadge* badge() const { return banner->findChild<AgentPulseBadge*>(); }
    SpinnerRing* ring() const { return placeholder->findChild<SpinnerRing*>(); }
    QList<ShimmerLine*> lines() const { return placeholder->findChildren<ShimmerLine*>(); }

    // Each view in its still picture: the ring unturned, the halo at 0.55 and 0.9 and the dot
    // at 0.92, plain bars, the sparkle at 0.9 and 0.55, the banner's badge at rest and no dots.
    bool still() const {
        bool plain = lines().size() == 4;
        for (const ShimmerLine* line : lines()) plain = plain && line->phase() == -1;
        return plain && !ring()->isSpinning() && pulse->haloScale() == 0.55 &&
               pulse->haloOpacity() == 0.9 && pulse->dotScale() == 0.92 &&
               sparkle->scale() == 0.9 && sparkle->opacity() == 0.55 && !badge()->isAnimating() &&
               banner->dots() == 0;
    }
    // Each view running and past its first frame.
    bool moving() const {
        bool sweeping = true;
        for (const ShimmerLine* line : lines()) sweeping = sweeping && line->phase() > -1;
        return sweeping && ring()->isSpinning() && pulse->haloScale() > 0.55 &&
               sparkle->scale() > 0.9 && badge()->isAnimating() && banner->dots() > 0;
    }
};

// The desktop's setting decides here, not the environment's override.
class DesktopMotion : public ::testing::Test {
protected:
    void SetUp() override {
        TAVRO_REQUIRE_ENV("session bus", testsupport::probeSessionBus());
        TAVRO_REQUIRE_ENV("GNOME settings in memory",
                          testsupport::ScopedGnomeSetting::probe(group));
        qunsetenv("TAVRO_REDUCE_MOTION");
    }
    const DesktopMotionSetting& desktop = DesktopMotionSetting::shared();
    const QString group = QStringLiteral("org.gnome.desktop.interface");
    const QString key = QStringLiteral("enable-animations");
};

}  // namespace

TEST_F(DesktopMotion, StillPicturesAndASwitchWhileShown) {
    testsupport::ScopedGnomeSetting gnome(group, key);
    std::optional<testsupport::FakeSettingsPortal> portal;
    struct Route {
        const char* name;
        std::function<void(bool reduce)> set;
        DesktopMotionSetting::Source source;
    };
    const Route routes[] = {
        {"gsettings", [&](bool reduce) { gnome.set(!reduce); },
         DesktopMotionSetting::Source::gsettings},
        // GSettings keeps its default (animations on): the portal's answer is what stills.
        {"portal",
         [&](bool reduce) {
             if (!portal) {
                 portal.emplace(QMap<QString, QVariantMap>{{group, {{key, !reduce}}}});
                 ASSERT_TRUE(portal->registered());
             } else {
                 portal->set(group, key, !reduce);
             }
         },
         DesktopMotionSetting::Source::portal},
    };
    for (const Route& route : routes) {
        SCOPED_TRACE(route.name);
        route.set(true);
        ASSERT_TRUE(waitFor([&] { return desktop.reduceMotion(); }));
        EXPECT_EQ(desktop.source(), route.source);

        AnimatedViews views;
        views.host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&views.host));
        EXPECT_TRUE(views.still());
        shoot(views.host, QStringLiteral("motion-still-") + QString::fromLatin1(route.name));

        route.set(false);
        EXPECT_TRUE(waitFor([&] { return views.moving(); }));
        route.set(true);
        EXPECT_TRUE(waitFor([&] { return views.still(); }));

        // Back to the test environment's desktop: animations on, no portal.
        portal.reset();
        gnome.set(true);
        EXPECT_TRUE(waitFor([&] { return !desktop.reduceMotion(); }));
    }
}

// Another record's pane fades in as it rises 6 px into place; under reduced motion it stands
// there at once. The placeholder only fades.
TEST_F(WindowFixture, ChosenRecordRisesIntoPlace) {
    addRecord("週次定例");
    addRecord("採用面接");
    defaults.set(MainViewModel::kOnboardingKey, true);
    for (const bool reduced : {false, true}) {
        SCOPED_TRACE(reduced ? "reduced" : "moving");
        qputenv("TAVRO_REDUCE_MOTION", reduced ? "1" : "0");
        MainView view(ctx);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        for (const int row : {0, 1}) {
            view.recordList()->setCurrentIndex(view.recordList()->model()->index(row, 0));
            DetailView* pane = view.detailView();
            ASSERT_NE(pane, nullptr);
            if (reduced) {
                EXPECT_EQ(pane->y(), 0);
                EXPECT_EQ(pane->graphicsEffect(), nullptr);
                continue;
            }
            EXPECT_EQ(pane->y(), MainView::kDetailRise);
            EXPECT_NE(pane->graphicsEffect(), nullptr) << "fading in";
            int lowest = pane->y();
            EXPECT_TRUE(waitFor([&] {
                lowest = std::max(lowest, pane->y());
                return pane->y() == 0 && pane->graphicsEffect() == nullptr;
            }));
            EXPECT_EQ(lowest, MainView::kDetailRise) << "it only rises";
        }
        if (!reduced) shoot(view, QStringLiteral("main-record-risen"));
        view.model().setQuery("該当なし");
        EXPECT_FALSE(view.showsRecord());
        EXPECT_EQ(view.emptyState()->y(), 0);
        EXPECT_EQ(view.emptyState()->graphicsEffect() != nullptr, !reduced);
    }
}
