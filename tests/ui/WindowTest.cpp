// The windows as widgets: over real stores and the recorder engine against the fake service,
// with screenshots kept as artifacts of the build.
#include <QAbstractItemModel>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <set>

#include "Screenshots.h"
#include "UiFixture.h"
#include "desktop/PlaceholderContrast.h"
#include "desktop/TabularDigits.h"
#include "platform/DesktopMotionSetting.h"
#include "support/FakeSettingsPortal.h"
#include "support/ScopedGnomeSetting.h"
#include "ui/main/ClockLabel.h"
#include "ui/main/DetailColumn.h"
#include "ui/main/EmptyStateView.h"
#include "ui/main/HeaderModel.h"
#include "ui/main/HeaderView.h"
#include "ui/main/MainView.h"
#include "ui/main/MainViewModel.h"
#include "ui/main/Motion.h"
#include "ui/main/RecordButton.h"
#include "ui/main/RecordingPulse.h"
#include "ui/main/ShimmerLine.h"
#include "ui/main/SparklePulse.h"
#include "ui/main/SpinnerRing.h"
#include "ui/main/ToolbarButton.h"
#include "ui/main/WindowDialogs.h"
#include "ui/main/detail/AgentProcessingBanner.h"
#include "ui/main/detail/AgentPulseBadge.h"
#include "ui/main/detail/DetailView.h"
#include "ui/main/sidebar/RecordListView.h"
#include "ui/main/sidebar/SidebarSearchField.h"
#include "ui/main/sidebar/SidebarView.h"
#include "ui/settings/AccountSettings.h"
#include "ui/settings/BrandIcon.h"
#include "ui/settings/SettingsScroll.h"
#include "ui/settings/SettingsView.h"
#include "util/AtomicFile.h"

namespace {

using Phase = RecorderControl::Phase;

using uitest::onModal;
using uitest::shoot;
using uitest::waitFor;

// Everything a window is built with, the engine speaking to the fake service; still frames, so
// that the saved pictures are stable.
class WindowTest : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        services.engine.setSecretReader([](const std::string&) { return std::string(); });
        defaults.set(MainViewModel::kOnboardingKey, true);
    }

    static QStringList listTitles(const MainView& view) {
        QStringList out;
        const QAbstractItemModel* rows = view.recordList()->model();
        for (int i = 0; i < rows->rowCount(); ++i) out << rows->index(i, 0).data().toString();
        return out;
    }
    static QString selectedTitle(const MainView& view) {
        const auto picked = view.recordList()->selectionModel()->selectedIndexes();
        return picked.isEmpty() ? QString() : picked.front().data().toString();
    }
};

// Empty, then with records that arrive while it is open.
TEST_F(WindowTest, MainWindowEmptyThenWithThreeRecords) {
    MainView view(ctx);
    EXPECT_EQ(view.minimumSize(), QSize(920, 600));
    EXPECT_EQ(view.size(), QSize(1100, 760));
    view.show();
    shoot(view, QStringLiteral("main-empty"));
    EXPECT_EQ(view.recordList()->model()->rowCount(), 0);
    EXPECT_FALSE(view.showsRecord());
    EXPECT_EQ(view.emptyState()->texts(),
              QStringList{QStringLiteral("記録を選択するか、新しく録音してください")});
    EXPECT_EQ(view.sidebar()->width(), MainView::kSidebarWidth);
    EXPECT_EQ(view.headerView()->height(), HeaderView::kHeight);

    for (const char* title : {"4月度 予算会議", "採用面接（エンジニア）", "週次定例ミーティング"})
        addRecord(title);
    view.recordList()->setFocus();
    shoot(view, QStringLiteral("main-three-records"));
    EXPECT_EQ(view.model().selectedID(), std::nullopt) << "focus alone chooses no record";
    EXPECT_FALSE(view.showsRecord());
    EXPECT_EQ(listTitles(view), (QStringList{QStringLiteral("週次定例ミーティング"),
                                             QStringLiteral("採用面接（エンジニア）"),
                                             QStringLiteral("4月度 予算会議")}));

    // Choosing a row shows its record; a filter that hides it brings the placeholder back.
    view.recordList()->setCurrentIndex(view.recordList()->model()->index(1, 0));
    EXPECT_EQ(view.model().selectedID(), store.records()[1].id);
    EXPECT_TRUE(view.showsRecord());
    view.model().setQuery("予算");
    EXPECT_EQ(listTitles(view), QStringList{QStringLiteral("4月度 予算会議")});
    EXPECT_FALSE(view.showsRecord());
    view.model().setQuery("");
    EXPECT_TRUE(view.showsRecord());
    EXPECT_EQ(selectedTitle(view), QStringLiteral("採用面接（エンジニア）"));

    // A record that arrives is listed at the top; the selection stays on its record.
    addRecord("新しい議事録");
    EXPECT_EQ(listTitles(view).front(), QStringLiteral("新しい議事録"));
    EXPECT_EQ(selectedTitle(view), QStringLiteral("採用面接（エンジニア）"));

    // Deleting the shown record empties the detail column.
    view.model().deleteRecord(*view.model().selected());
    EXPECT_FALSE(view.showsRecord());
    EXPECT_EQ(view.recordList()->model()->rowCount(), 3);
}

// A failed import leaves its error under the placeholder; the next import clears it and its
// record comes first.
TEST_F(WindowTest, ImportedFilesBecomeTheTopRecordOrLeaveTheirError) {
    addRecord("前回の会議");
    MainView view(ctx);
    view.show();
    const auto file = home.home() / "取り込み.m4a";
    atomicfile::write(file, "not really audio");
    dialogs.audioFile = file.string();
    const auto idle = [&] { return services.engine.phase() == Phase::idle; };

    service.script("POST", "/api/process",
                   FakeService::Reply::withJson(500, {{"error", "処理に失敗しました"}}));
    view.headerView()->importButton()->click();
    ASSERT_TRUE(waitFor(idle, 30000));
    EXPECT_EQ(view.emptyState()->texts(),
              (QStringList{QStringLiteral("記録を選択するか、新しく録音してください"),
                           QStringLiteral("処理に失敗しました")}));
    shoot(view, QStringLiteral("main-import-failed"));

    service.script("POST", "/api/process",
                   FakeService::Reply::late(std::chrono::milliseconds(300)));
    view.headerView()->importButton()->click();
    EXPECT_EQ(services.engine.phase(), Phase::processing) << "at once";
    EXPECT_FALSE(view.headerView()->importButton()->isEnabled());
    EXPECT_FALSE(view.headerView()->recordButton()->isEnabled());
    EXPECT_EQ(view.emptyState()->content().kind, EmptyStateContent::Kind::processing);

    ASSERT_TRUE(waitFor(idle, 30000));
    ASSERT_TRUE(waitFor([&] { return store.records().size() == 2; }, 5000));
    EXPECT_EQ(services.engine.lastError(), std::nullopt);
    EXPECT_EQ(store.records().front().sourceName, "取り込み.m4a");
    EXPECT_EQ(listTitles(view).front(),
              QString::fromStdString(store.records().front().result.title));
    EXPECT_TRUE(view.headerView()->importButton()->isEnabled());
    EXPECT_EQ(view.emptyState()->texts().size(), 1);
    EXPECT_EQ(service.requests("POST", "/api/process").size(), 2u);
}

TEST_F(ServiceFixture, HeaderInItsThreePhases) {
    ScriptedRecorder recorder;
    HeaderModel model(recorder, defaults, dialogs, [](const auto&, const auto&) {});
    HeaderView header(model);
    header.resize(520, HeaderView::kHeight);
    header.show();
    const std::tuple<const char*, Phase, int> cases[] = {
        {"header-idle", Phase::idle, 0},
        {"header-recording", Phase::recording, 65},
        {"header-processing", Phase::processing, 0},
    };
    for (const auto& [file, phase, elapsed] : cases) {
        SCOPED_TRACE(file);
        recorder.set(phase, elapsed);
        shoot(header, QString::fromUtf8(file));
        EXPECT_EQ(header.importButton()->isEnabled(), phase == Phase::idle);
        EXPECT_EQ(header.recordButton()->findChild<RecordingPulse*>()->isVisible(),
                  phase == Phase::recording);
        EXPECT_EQ(header.recordButton()->findChild<SpinnerRing*>()->isVisible(),
                  phase == Phase::processing);
    }
    // The trailing controls in their order.
    EXPECT_LT(header.askButton()->x(), header.agentButton()->x());
    EXPECT_LT(header.agentButton()->x(), header.recordButton()->x());
    EXPECT_LT(header.recordButton()->x(), header.importButton()->x());
    EXPECT_LT(header.importButton()->x(), header.settingsButton()->x());

    header.recordButton()->click();
    EXPECT_EQ(recorder.toggles, 0) << "disabled while processing";
    recorder.set(Phase::idle);
    header.recordButton()->click();
    EXPECT_EQ(recorder.toggles, 1);

    header.agentButton()->click();
    EXPECT_EQ(header.agentButton()->toolTip(), HeaderModel::kAgentOffHelp);
    EXPECT_DOUBLE_EQ(header.agentButton()->rotation(), -12);
    EXPECT_DOUBLE_EQ(header.agentButton()->scale(), 1.0);
    shoot(header, QStringLiteral("header-agent-off"));
}

// With motion, a new look springs to its width instead of jumping there; ticks of the clock
// change nothing but the text.
TEST_F(StoresFixture, RecordButtonSpringsToANewLook) {
    ScriptedRecorder recorder;
    HeaderModel model(recorder, defaults, dialogs, [](const auto&, const auto&) {});
    RecordButton button(model);
    button.show();
    const int idle = button.width();
    recorder.set(Phase::recording, 5);
    const int target = button.sizeHint().width();
    EXPECT_GT(target, idle);
    EXPECT_LT(button.width(), target) << "the width moves there";
    EXPECT_TRUE(QTest::qWaitFor([&] { return button.width() == target; }, 5000));
    recorder.set(Phase::recording, 6);
    EXPECT_EQ(button.width(), target);
}

// The running clocks of the record button and the placeholder keep their width from one second
// to the next: their fonts' digits share one advance.
TEST_F(StoresFixture, RunningClocksKeepTheirWidth) {
    ScriptedRecorder recorder;
    HeaderModel model(recorder, defaults, dialogs, [](const auto&, const auto&) {});
    RecordButton button(model);
    EmptyStateView placeholder;
    for (const auto& [from, to] : {std::pair{0, 600}, std::pair{600, 3600}}) {
        std::set<int> buttonWidths, placeholderWidths;
        for (int s = from; s < to; ++s) {
            recorder.set(Phase::recording, s);
            placeholder.setContent(EmptyStateContent::forState(Phase::recording, s, std::nullopt));
            buttonWidths.insert(button.sizeHint().width());
            placeholderWidths.insert(placeholder.findChild<ClockLabel*>()->sizeHint().width());
        }
        EXPECT_EQ(buttonWidths.size(), 1u) << from;
        EXPECT_EQ(placeholderWidths.size(), 1u) << from;
    }
    EXPECT_EQ(placeholder.texts().front(), QStringLiteral("録音中 59:59"));
    EXPECT_TRUE(TabularDigits::native(RecordButton::clockFont()));
    EXPECT_TRUE(TabularDigits::native(placeholder.findChild<ClockLabel*>()->font()));
}

// An empty last error still gets its (empty) red line; an error shows only while idle.
TEST_F(ServiceFixture, PlaceholderPerPhase) {
    struct Case {
        const char* file;
        Phase phase;
        int elapsed;
        std::optional<std::string> lastError;
        QStringList texts;
    };
    const QString hint = QStringLiteral("記録を選択するか、新しく録音してください");
    const QString failed = QStringLiteral("処理に失敗しました");
    const QString stop = QStringLiteral("停止すると自動で議事録を作成します");
    const Case cases[] = {
        {"placeholder-idle", Phase::idle, 0, std::nullopt, {hint}},
        {"placeholder-idle-empty-error", Phase::idle, 0, "", {hint, QString()}},
        {"placeholder-idle-error", Phase::idle, 0, failed.toStdString(), {hint, failed}},
        {"placeholder-recording", Phase::recording, 65, "前回の失敗", {"録音中 1:05", stop}},
        {"placeholder-processing", Phase::processing, 9, "x", {"AIが議事録を作成中…"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        EmptyStateView view;
        view.resize(700, 560);
        view.setContent(EmptyStateContent::forState(c.phase, c.elapsed, c.lastError));
        view.show();
        shoot(view, QString::fromUtf8(c.file));
        EXPECT_EQ(view.texts(), c.texts);
        EXPECT_EQ(view.findChildren<ShimmerLine*>().size(), c.phase == Phase::processing ? 4 : 0);
        // The clock ticks in place.
        if (c.phase == Phase::recording) {
            RecordingPulse* pulse = view.findChild<RecordingPulse*>();
            view.setContent(EmptyStateContent::forState(c.phase, 3600, c.lastError));
            EXPECT_EQ(view.texts().front(), QStringLiteral("録音中 60:00"));
            EXPECT_EQ(view.findChild<RecordingPulse*>(), pulse);
        }
    }
}

TEST_F(StoresFixture, AnimatedViewsMoveUnlessMotionIsReduced) {
    for (const bool reduced : {true, false}) {
        SCOPED_TRACE(reduced ? "reduced" : "moving");
        if (reduced) qputenv("TAVRO_REDUCE_MOTION", "1");
        QWidget host;
        auto* ring = new SpinnerRing(20, 2.5, QColor(), &host);
        auto* pulse = new RecordingPulse(14, &host);
        auto* line = new ShimmerLine(200, 11, &host);
        auto* sparkle = new SparklePulse(11, &host);
        host.show();
        QTest::qWait(120);
        EXPECT_EQ(ring->isSpinning(), !reduced);
        EXPECT_EQ(pulse->isAnimating(), !reduced);
        // Moving frames leave the still frame behind.
        EXPECT_EQ(line->phase() > -1, !reduced);
        EXPECT_EQ(pulse->haloScale() > 0.55, !reduced);
        EXPECT_EQ(sparkle->scale() > 0.9, !reduced);
        host.hide();
        EXPECT_FALSE(ring->isSpinning()) << "nothing runs while hidden";
        qunsetenv("TAVRO_REDUCE_MOTION");
    }
}

TEST(Motion, AFadeLeavesNoEffectBehind) {
    QWidget view;
    view.show();
    motion::fadeIn(&view, 40, QEasingCurve::InOutQuad);
    ASSERT_NE(view.graphicsEffect(), nullptr);
    motion::fadeIn(&view, 40, QEasingCurve::InOutQuad);  // a new fade replaces a running one
    EXPECT_TRUE(waitFor([&] { return view.graphicsEffect() == nullptr; }, 2000));
}

TEST(DetailColumn, BandIsAtMost820WideAndCentred) {
    const std::pair<int, QRect> cases[] = {{1200, QRect(190, 0, 820, 100)},
                                           {900, QRect(40, 0, 820, 100)},
                                           {600, QRect(40, 0, 520, 100)}};
    for (const auto& [width, content] : cases) {
        DetailColumn column(new QWidget);
        column.resize(width, 100);
        column.show();
        EXPECT_EQ(column.content()->geometry(), content) << width;
    }
}

TEST_F(WindowTest, SettingsWindowFrame) {
    SettingsView view(ctx);
    view.show();
    shoot(view, QStringLiteral("settings"));
    EXPECT_EQ(view.minimumSize(), view.maximumSize());
    QTabWidget* tabs = view.tabs();
    ASSERT_EQ(tabs->count(), 6);
    const QStringList labels{"一般",           "録音", "プライバシー",
                             "AIエージェント", "連携", "アカウント"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(tabs->tabText(i), labels[i]);
        EXPECT_FALSE(tabs->tabIcon(i).isNull()) << labels[i].toStdString();
    }
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_EQ(view.windowTitle(), "一般");

    // A tab taller than the window scrolls inside it.
    auto* general = qobject_cast<SettingsScroll*>(tabs->widget(0));
    ASSERT_NE(general, nullptr);
    for (int i = 0; i < 30; ++i) general->addRow(new QLabel(QStringLiteral("行 %1").arg(i)));
    EXPECT_TRUE(waitFor([&] { return general->verticalScrollBar()->maximum() > 0; }, 2000));
    EXPECT_EQ(view.size(), QSize(560, 560));
}

// A dark theme that gives placeholders no colour that stands out (nearly black on the dark
// field) gets them drawn from its text colour; a light palette after it keeps its own.
TEST_F(WindowTest, PlaceholdersReadInADarkPaletteThatGivesThemNoColour) {
    const QPalette light = QApplication::palette();
    const auto restore = qScopeGuard([&] { QApplication::setPalette(light); });
    QPalette dark = uitest::darkPalette();
    dark.setColor(QPalette::Base, QColor(39, 41, 43));
    dark.setColor(QPalette::PlaceholderText, QColor(19, 20, 21));
    QApplication::setPalette(dark);
    PlaceholderContrast::keep(*qApp);

    MainView main(ctx);
    SettingsView settings(ctx);
    settings.tabs()->setCurrentIndex(5);
    const std::tuple<QWidget*, QLineEdit*, const char*> fields[] = {
        {&main, main.sidebar()->searchField()->edit(), "main-dark-placeholder"},
        {&settings, qobject_cast<AccountSettings*>(settings.tabs()->widget(5))->emailField(),
         "settings-account-dark-placeholder"},
    };
    for (const auto& [window, field, picture] : fields) {
        SCOPED_TRACE(picture);
        window->show();
        field->clearFocus();  // no cursor where the hint is
        // The field as drawn: the blank at its right end, and the hint's pixel farthest from it.
        const QImage drawn = shoot(*window, QString::fromLatin1(picture))
                                 .copy(QRect(field->mapTo(window, QPoint(0, 0)), field->size()));
        const QColor blank = drawn.pixelColor(drawn.width() - 6, drawn.height() / 2);
        QColor farthest = blank;
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width() / 2; ++x)
                if (std::abs(drawn.pixelColor(x, y).lightness() - blank.lightness()) >
                    std::abs(farthest.lightness() - blank.lightness()))
                    farthest = drawn.pixelColor(x, y);
        EXPECT_TRUE(PlaceholderContrast::standsOut(farthest, blank))
            << farthest.name().toStdString() << " on " << blank.name().toStdString();
    }
    QApplication::setPalette(light);
    EXPECT_EQ(QApplication::palette().color(QPalette::PlaceholderText),
              light.color(QPalette::PlaceholderText));
}

TEST(BrandIcon, FallsBackToTheLinkSymbol) {
    testsupport::TempDir dir;
    const auto good = dir / "good.svg";
    const auto bad = dir / "bad.svg";
    atomicfile::write(good,
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"24\" height=\"24\">"
                      "<rect width=\"24\" height=\"24\"/></svg>");
    atomicfile::write(bad, "not an image");
    EXPECT_TRUE(BrandIcon::loadable(QString::fromStdString(good.string())));
    EXPECT_FALSE(BrandIcon::loadable(QString::fromStdString(bad.string())));
    EXPECT_FALSE(BrandIcon::loadable(QString::fromStdString((dir / "absent.svg").string())));

    BrandIcon icon(QStringLiteral("no-such-brand"));
    EXPECT_FALSE(icon.showsLogo());
    EXPECT_EQ(icon.size(), QSize(18, 18));
    const QImage img = icon.grab().toImage();
    QImage blank(img.size(), img.format());
    blank.fill(Qt::transparent);
    EXPECT_NE(img, blank) << "the fallback symbol is drawn";
}

TEST(WindowDialogs, AnswersFollowTheButtonPressed) {
    // The button's text; empty closes with Escape.
    const std::pair<const char*, bool> cases[] = {
        {"削除", true}, {"キャンセル", false}, {"", false}};
    for (const auto& [press, answer] : cases) {
        SCOPED_TRACE(press);
        WindowDialogs dialogs;
        QString shownText, shownInfo;
        onModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box) modal->close();  // never leave the test waiting on it
            ASSERT_NE(box, nullptr);
            shownText = box->text();
            shownInfo = box->informativeText();
            if (*press == 0) {
                QTest::keyClick(box, Qt::Key_Escape);
                return;
            }
            for (QAbstractButton* b : box->buttons())
                if (b->text() == QString::fromUtf8(press)) b->click();
        });
        EXPECT_EQ(
            dialogs.confirm("「予算」を削除しますか?", "Markdownファイルも削除されます。", "削除"),
            answer);
        EXPECT_EQ(shownText, "「予算」を削除しますか?");
        EXPECT_EQ(shownInfo, "Markdownファイルも削除されます。");
    }

    WindowDialogs dialogs;
    onModal([](QWidget* modal) {
        auto* panel = qobject_cast<QFileDialog*>(modal);
        if (!panel) modal->close();
        ASSERT_NE(panel, nullptr);
        EXPECT_EQ(panel->fileMode(), QFileDialog::ExistingFile);
        panel->reject();
    });
    EXPECT_EQ(dialogs.openAudioFile(), std::nullopt);
}

// As a user does it: a file picked in the list, or its name typed into the name box, then the
// Open button. (selectFile() writes no name while the box has the focus, which the box takes
// when the window manager activates the panel, at a moment of its own.)
TEST(WindowDialogs, TheTemplateChooserTakesPdfTextWordAndMarkdownOnly) {
    testsupport::TempDir dir;
    // A file in the folder, and whether the chooser lists and takes it.
    const std::pair<const char*, bool> cases[] = {
        {"議事録.pdf", true},  {"memo.txt", true}, {"Minutes.DOCX", true}, {"notes.md", true},
        {"議事録.Docx", true}, {"a.Pdf", true},    {"old.doc", false},     {"sheet.odt", false},
        {"page.html", false},  {"README", false},
    };
    QStringList offered;
    for (const auto& [name, taken] : cases) {
        atomicfile::write(dir / name, "text");
        if (taken) offered << QString::fromUtf8(name);
    }
    for (const bool typed : {false, true}) {
        for (const auto& [name, taken] : cases) {
            if (!typed && !taken) continue;  // not listed, so not to be picked
            SCOPED_TRACE(std::string(typed ? "typed " : "picked ") + name);
            WindowDialogs dialogs;
            QStringList filters, listed;
            bool said = false, stayed = false;
            onModal([&](QWidget* modal) {
                auto* panel = qobject_cast<QFileDialog*>(modal);
                const auto close = qScopeGuard([&] {
                    stayed = modal->isVisible();
                    modal->close();  // never leave the test waiting on it
                });
                ASSERT_NE(panel, nullptr);
                filters = panel->nameFilters();
                panel->setDirectory(QString::fromStdString(dir.path().string()));
                auto* rows = panel->findChild<QTreeView*>(QStringLiteral("treeView"));
                auto* nameBox = panel->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                auto* buttons = panel->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
                const auto* note = panel->findChild<QLabel*>(QStringLiteral("refusalNote"));
                ASSERT_TRUE(rows && nameBox && buttons && note);
                const auto rowOf = [&](const QString& file) {
                    const auto hits =
                        rows->model()->match(rows->model()->index(0, 0, rows->rootIndex()),
                                             Qt::DisplayRole, file, 1, Qt::MatchExactly);
                    return hits.isEmpty() ? QModelIndex() : hits[0];
                };
                // The folder is read in the background: all it offers is listed in the end.
                EXPECT_TRUE(waitFor([&] {
                    return std::all_of(offered.begin(), offered.end(),
                                       [&](const QString& f) { return rowOf(f).isValid(); });
                }));
                for (const auto& [file, kind] : cases)
                    if (rowOf(QString::fromUtf8(file)).isValid()) listed << file;
                if (typed) {
                    nameBox->setText(QString::fromUtf8(name));
                } else {
                    QTest::mouseClick(rows->viewport(), Qt::LeftButton, {},
                                      rows->visualRect(rowOf(QString::fromUtf8(name))).center());
                }
                said = note->isVisible();
                QPushButton* open = buttons->button(QDialogButtonBox::Open);
                EXPECT_EQ(open->isEnabled(), taken);
                open->click();
                said = said && note->isVisible();
                if (std::string(name) == "sheet.odt") {
                    shoot(*panel, QStringLiteral("template-chooser-refused"));
                    panel->setPalette(uitest::darkPalette());
                    shoot(*panel, QStringLiteral("template-chooser-refused-dark"));
                    nameBox->setText(QStringLiteral("notes.md"));
                    EXPECT_FALSE(note->isVisible()) << "a new name is judged anew";
                }
            });
            const auto chosen = dialogs.openDocumentFile();
            EXPECT_EQ(filters, QStringList{WindowDialogs::documentNameFilter()}) << "nothing else";
            EXPECT_EQ(listed, offered);
            EXPECT_EQ(chosen, taken ? std::optional((dir / name).string()) : std::nullopt);
            EXPECT_EQ(stayed, !taken) << "a file not offered leaves the chooser open";
            EXPECT_EQ(said, !taken) << "and the chooser says which kinds it takes";
        }
    }
}

// The placeholder while minutes are made (a spinner, four shimmer lines), a recording pulse, a
// row's sparkle and an agent's working banner.
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
    QList<ShimmerLine*> lines() const { return placeholder->findChildren<ShimmerLine*>(); }
    bool spinning() const { return placeholder->findChild<SpinnerRing*>()->isSpinning(); }
    bool badgeMoves() const { return banner->findChild<AgentPulseBadge*>()->isAnimating(); }

    // Each view in its still picture, not stopped somewhere mid-way.
    bool still() const {
        bool plain = lines().size() == 4;
        for (const ShimmerLine* line : lines()) plain = plain && line->phase() == -1;
        return plain && !spinning() && pulse->haloScale() == 0.55 && pulse->haloOpacity() == 0.9 &&
               pulse->dotScale() == 0.92 && sparkle->scale() == 0.9 && sparkle->opacity() == 0.55 &&
               !badgeMoves() && banner->dots() == 0;
    }
    // Each view running and past its first frame.
    bool moving() const {
        bool sweeping = true;
        for (const ShimmerLine* line : lines()) sweeping = sweeping && line->phase() > -1;
        return sweeping && spinning() && pulse->haloScale() > 0.55 && sparkle->scale() > 0.9 &&
               badgeMoves() && banner->dots() > 0;
    }
};

// The desktop's own setting decides, through GSettings or a portal, also while the views are shown.
TEST(DesktopMotion, StillPicturesAndASwitchWhileShown) {
    const QString group = QStringLiteral("org.gnome.desktop.interface");
    const QString key = QStringLiteral("enable-animations");
    TAVRO_REQUIRE_ENV("session bus", testsupport::probeSessionBus());
    TAVRO_REQUIRE_ENV("GNOME settings in memory", testsupport::ScopedGnomeSetting::probe(group));
    qunsetenv("TAVRO_REDUCE_MOTION");
    const DesktopMotionSetting& desktop = DesktopMotionSetting::shared();
    testsupport::ScopedGnomeSetting gnome(group, key);
    std::optional<testsupport::FakeSettingsPortal> portal;
    for (const bool viaPortal : {false, true}) {
        SCOPED_TRACE(viaPortal ? "portal" : "gsettings");
        // Through the portal GSettings keeps animations on: the portal's answer is what stills.
        const auto reduce = [&](bool on) {
            if (!viaPortal) return gnome.set(!on);
            if (portal) return portal->set(group, key, !on);
            portal.emplace(QMap<QString, QVariantMap>{{group, {{key, !on}}}});
            ASSERT_TRUE(portal->registered());
        };
        reduce(true);
        ASSERT_TRUE(waitFor([&] { return desktop.reduceMotion(); }));
        EXPECT_EQ(desktop.source(), viaPortal ? DesktopMotionSetting::Source::portal
                                              : DesktopMotionSetting::Source::gsettings);
        AnimatedViews views;
        views.host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&views.host));
        EXPECT_TRUE(views.still());
        shoot(views.host, viaPortal ? QStringLiteral("motion-still-portal")
                                    : QStringLiteral("motion-still-gsettings"));
        reduce(false);
        EXPECT_TRUE(waitFor([&] { return views.moving(); }));
        reduce(true);
        EXPECT_TRUE(waitFor([&] { return views.still(); }));
        // Back to the test desktop's own: animations on, no portal.
        portal.reset();
        gnome.set(true);
        EXPECT_TRUE(waitFor([&] { return !desktop.reduceMotion(); }));
    }
}

// Another record's pane fades in as it rises 6 px into place; under reduced motion it stands
// there at once. The placeholder only fades.
TEST_F(WindowTest, ChosenRecordRisesIntoPlace) {
    addRecord("週次定例");
    addRecord("採用面接");
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
            EXPECT_EQ(pane->y(), reduced ? 0 : MainView::kDetailRise);
            EXPECT_EQ(pane->graphicsEffect() != nullptr, !reduced) << "fading in";
            int lowest = pane->y();
            EXPECT_TRUE(waitFor([&] {
                lowest = std::max(lowest, pane->y());
                return pane->y() == 0 && pane->graphicsEffect() == nullptr;
            }));
            EXPECT_EQ(lowest, reduced ? 0 : MainView::kDetailRise) << "it only rises";
        }
        if (!reduced) shoot(view, QStringLiteral("main-record-risen"));
        view.model().setQuery("該当なし");
        EXPECT_FALSE(view.showsRecord());
        EXPECT_EQ(view.emptyState()->y(), 0);
        EXPECT_EQ(view.emptyState()->graphicsEffect() != nullptr, !reduced);
    }
}

}  // namespace
