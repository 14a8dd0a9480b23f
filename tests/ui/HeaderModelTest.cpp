#include <QSignalSpy>

#include "UiFixture.h"
#include "ui/main/HeaderModel.h"

namespace {

using Phase = RecorderControl::Phase;
using Kind = HeaderModel::RecordLook::Kind;

class HeaderModelTest : public StoresFixture {
protected:
    ScriptedRecorder recorder;
    std::vector<std::pair<std::filesystem::path, std::string>> processed;  // file, name
    HeaderModel model{recorder, defaults, dialogs, [this](const auto& file, const auto& name) {
                          processed.push_back({file, name});
                      }};
};

TEST_F(HeaderModelTest, RecordButtonFollowsThePhase) {
    struct Case {
        Phase phase;
        int elapsed;
        Kind kind;
        const char* text;
        bool recordEnabled;
        bool importEnabled;
    };
    const Case cases[] = {
        {Phase::idle, 0, Kind::symbol, "", true, true},
        {Phase::recording, 65, Kind::clock, "停止 1:05", true, false},
        {Phase::recording, 3725, Kind::clock, "停止 62:05", true, false},
        {Phase::processing, 42, Kind::spinner, "", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        QSignalSpy changed(&model, &HeaderModel::recorderChanged);
        recorder.set(c.phase, c.elapsed);
        EXPECT_GE(changed.count(), 1);
        const auto look = model.recordLook();
        EXPECT_EQ(look.kind, c.kind);
        EXPECT_EQ(look.text, QString::fromUtf8(c.text));
        EXPECT_EQ(look.enabled, c.recordEnabled);
        EXPECT_EQ(model.importEnabled(), c.importEnabled);
    }
    model.toggleRecording();
    EXPECT_EQ(recorder.toggles, 1);
}

TEST_F(HeaderModelTest, AgentSwitchIsOnUntilTurnedOff) {
    EXPECT_TRUE(model.autoAgent());
    EXPECT_EQ(model.agentLook(),
              (HeaderModel::AgentLook{true, 1.12, 0, HeaderModel::kAgentOnHelp}));

    QSignalSpy changed(&model, &HeaderModel::autoAgentChanged);
    model.toggleAutoAgent();
    EXPECT_EQ(defaults.boolValue("autoAgent"), false);
    EXPECT_EQ(model.agentLook(),
              (HeaderModel::AgentLook{false, 1.0, -12, HeaderModel::kAgentOffHelp}));
    model.toggleAutoAgent();
    EXPECT_EQ(defaults.boolValue("autoAgent"), true);
    EXPECT_EQ(changed.count(), 2);

    // The engine's reading of a value it did not write: anything but a boolean means on.
    defaults.set("autoAgent", "false");
    EXPECT_TRUE(model.agentLook().on);
}

TEST_F(HeaderModelTest, ImportHandsOnlyAChosenFileToTheEngine) {
    struct Case {
        const char* what;
        Phase phase;
        std::optional<std::string> chosen;
        int panels;
        bool processes;
    };
    const Case cases[] = {
        {"cancelled", Phase::idle, std::nullopt, 1, false},
        {"confirmed without a file", Phase::idle, "", 1, false},
        {"a file", Phase::idle, "/tmp/会議 録音.m4a", 1, true},
        {"while processing", Phase::processing, "/tmp/a.m4a", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        processed.clear();
        dialogs.filePanels = 0;
        dialogs.audioFile = c.chosen;
        recorder.set(c.phase);
        model.importAudio();
        EXPECT_EQ(dialogs.filePanels, c.panels);
        ASSERT_EQ(processed.size(), c.processes ? 1u : 0u);
        if (c.processes) {
            EXPECT_EQ(processed[0].first, *c.chosen);
            EXPECT_EQ(processed[0].second, "会議 録音.m4a");
        }
    }
}

}  // namespace
