// The running clocks of the main window keep their width from one second to the next.
#include <functional>
#include <set>

#include "UiFixture.h"
#include "desktop/TabularDigits.h"
#include "ui/main/ClockLabel.h"
#include "ui/main/EmptyStateView.h"
#include "ui/main/HeaderModel.h"
#include "ui/main/RecordButton.h"

namespace {
using Phase = RecorderControl::Phase;
}  // namespace

// "停止 m:ss" and "録音中 m:ss" keep their width from one second to the next: the font's digits
// share one advance (or are laid out in cells of one width).
TEST_F(StoresFixture, RunningClocksKeepTheirWidth) {
    ScriptedRecorder recorder;
    HeaderModel model(recorder, defaults, dialogs, [](const auto&, const auto&) {});
    RecordButton button(model);
    EmptyStateView placeholder;
    struct Clock {
        const char* name;
        std::function<int(int seconds)> widthAt;
        std::function<QFont()> font;
    };
    const Clock clocks[] = {
        {"record button",
         [&](int s) {
             recorder.set(Phase::recording, s);
             return button.sizeHint().width();
         },
         [] { return RecordButton::clockFont(); }},
        {"placeholder",
         [&](int s) {
             placeholder.setContent(EmptyStateContent::forState(Phase::recording, s, std::nullopt));
             return placeholder.findChild<ClockLabel*>()->sizeHint().width();
         },
         [&] { return placeholder.findChild<ClockLabel*>()->font(); }},
    };
    for (const Clock& clock : clocks) {
        SCOPED_TRACE(clock.name);
        for (const auto& [from, to] : {std::pair{0, 600}, std::pair{600, 3600}}) {
            std::set<int> widths;
            for (int s = from; s < to; ++s) widths.insert(clock.widthAt(s));
            EXPECT_EQ(widths.size(), 1u) << from;
        }
        EXPECT_TRUE(TabularDigits::native(clock.font()));
    }
    EXPECT_EQ(placeholder.texts().front(), QStringLiteral("録音中 59:59"));
}
