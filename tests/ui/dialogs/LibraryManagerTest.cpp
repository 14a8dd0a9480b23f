// The folder and tag manager over the real library store.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include "DialogFixture.h"
#include "ui/main/dialogs/EditorRow.h"
#include "ui/main/dialogs/ElidedLineEdit.h"
#include "ui/main/dialogs/LibraryManagerModel.h"
#include "ui/main/dialogs/LibraryManagerView.h"

class LibraryManagerTest : public ServiceFixture {
protected:
    LibraryManagerView view{new LibraryManagerModel(library)};

    static void type(QLineEdit* field, const QString& text) {
        field->setText(text);
        emit field->textEdited(text);
    }
    QString error() const {
        return view.errorLabel()->isVisibleTo(&view) ? view.errorLabel()->text() : QString();
    }
};

TEST_F(LibraryManagerTest, OnlyNewNamesWithTextAreCreated) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"", false},      {"   ", false}, {"\t \t", false}, {"\u3000", false},
        {" 企画 ", true}, {"\n", true},   {"a", true},
    };
    for (const auto& [typed, ok] : cases)
        EXPECT_EQ(LibraryManagerModel::hasName(typed), ok) << typed;

    view.show();
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    type(view.folderField(), QStringLiteral("   "));
    EXPECT_FALSE(view.addFolderButton()->isEnabled());
    QTest::keyClick(view.folderField(), Qt::Key_Return);
    EXPECT_TRUE(library.state().folders.empty());
    EXPECT_TRUE(view.noFoldersLabel()->isVisibleTo(&view));

    type(view.folderField(), QStringLiteral("Projects"));
    QTest::mouseClick(view.addFolderButton(), Qt::LeftButton);
    ASSERT_EQ(library.state().folders.size(), 1u);
    EXPECT_EQ(view.folderField()->text(), QString());
    EXPECT_EQ(QApplication::focusWidget(), view.folderField()) << "the keyboard stays there";
    EXPECT_FALSE(view.noFoldersLabel()->isVisibleTo(&view));

    type(view.folderField(), QStringLiteral("projects"));
    QTest::keyClick(view.folderField(), Qt::Key_Return);
    EXPECT_EQ(error(), QStringLiteral("「projects」はすでに存在します。"));
    EXPECT_EQ(view.errorLabel()->textFormat(), Qt::PlainText) << "it quotes what was typed";
    EXPECT_EQ(view.folderField()->text(), QStringLiteral("projects"));

    type(view.tagField(), QStringLiteral("重要"));
    view.addTagButton()->click();
    EXPECT_EQ(error(), QString()) << "a successful creation clears the error";
    ASSERT_EQ(library.state().tags.size(), 1u);
    EXPECT_EQ(library.state().tags[0].color, std::nullopt);

    // A refused rename says why; the typed name stays to be corrected.
    EditorRow* archive = view.folderRow(library.createFolder("Archive").id);
    ASSERT_TRUE(archive);
    archive->nameField()->setText(QStringLiteral("PROJECTS"));
    archive->saveButton()->click();
    EXPECT_EQ(error(), QStringLiteral("「PROJECTS」はすでに存在します。"));
    EXPECT_EQ(archive->nameField()->text(), QStringLiteral("PROJECTS"));
    EXPECT_EQ(library.state().folders[1].name, "Archive");
}

TEST_F(LibraryManagerTest, RowsFollowTheLibraryWithoutLosingTyping) {
    const std::string planID = library.createFolder("企画").id;
    const std::string salesID = library.createFolder("営業").id;
    const std::string tagID = library.createTag("顧客", std::string("red")).id;

    // Text typed in one row survives a rename in another.
    view.folderRow(salesID)->nameField()->setText(QStringLiteral("営業部（入力中"));
    view.folderRow(planID)->nameField()->setText(QStringLiteral(" 企画部"));
    view.folderRow(planID)->saveButton()->click();
    EXPECT_EQ(library.state().folders[0].name, "企画部");
    EXPECT_EQ(view.folderRow(planID)->nameField()->text(), QStringLiteral("企画部"));
    EXPECT_EQ(view.folderRow(salesID)->nameField()->text(), QStringLiteral("営業部（入力中"));

    // A rename from elsewhere reaches the row.
    library.renameFolder(salesID, "営業部");
    EXPECT_EQ(view.folderRow(salesID)->nameField()->text(), QStringLiteral("営業部"));

    view.tagRow(tagID)->nameField()->setText(QStringLiteral("主要顧客"));
    view.tagRow(tagID)->saveButton()->click();
    EXPECT_EQ(library.state().tags[0].name, "主要顧客");
    EXPECT_EQ(library.state().tags[0].color, "red") << "an update keeps the colour";
    shoot(view, QStringLiteral("library-manager"));

    view.tagRow(tagID)->deleteButton()->click();
    ASSERT_TRUE(waitFor([&] { return library.state().tags.empty(); }));
    EXPECT_EQ(view.tagRow(tagID), nullptr);
    EXPECT_TRUE(view.noTagsLabel()->isVisibleTo(&view));
}

// A name longer than its field is cut at its end while not being edited, as in the lists; being
// edited, it is all there, and it starts at its beginning again once left.
TEST_F(LibraryManagerTest, LongNamesAreCutAtTheirEnd) {
    const QString longName =
        QStringLiteral("2026年度 営業企画部 新規顧客開拓とパートナー連携の下期プロジェクト");
    const std::vector<std::pair<QString, bool>> cases = {{longName, true},
                                                         {QStringLiteral("企画"), false}};
    std::vector<ElidedLineEdit*> fields;
    for (const auto& [name, cut] : cases)
        fields.push_back(view.folderRow(library.createFolder(name.toStdString()).id)->nameField());
    const std::string tag = library.createTag(longName.toStdString(), std::nullopt).id;
    fields.push_back(view.tagRow(tag)->nameField());
    view.show();
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));

    auto expectCut = [&](const ElidedLineEdit& field, bool cut) {
        const QString shown = field.shownText();
        EXPECT_EQ(shown.endsWith(QStringLiteral("…")), cut) << shown.toStdString();
        EXPECT_TRUE(field.text().startsWith(cut ? shown.chopped(1) : shown)) << shown.toStdString();
        EXPECT_EQ(field.cursorPosition(), 0) << "shown from its start";
    };
    for (std::size_t i = 0; i < cases.size(); ++i) expectCut(*fields[i], cases[i].second);
    expectCut(*fields.back(), true);
    auto* scroll = view.findChild<QScrollArea*>();
    ASSERT_TRUE(scroll);
    EXPECT_FALSE(scroll->verticalScrollBar()->isVisible()) << "three rows fit";
    EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible());
    shoot(view, QStringLiteral("library-manager-long-names"));

    ElidedLineEdit& field = *fields[0];
    field.setFocus();
    ASSERT_TRUE(waitFor([&] { return field.hasFocus(); }));
    EXPECT_EQ(field.shownText(), longName);
    QTest::keyClick(&field, Qt::Key_End);
    field.insert(QStringLiteral("（改）"));  // as typed by an input method
    view.folderRow(library.state().folders[1].id)->nameField()->setFocus();
    ASSERT_TRUE(waitFor([&] { return !field.hasFocus(); }));
    expectCut(field, true);
    EXPECT_TRUE(field.text().endsWith(QStringLiteral("（改）")));
}
