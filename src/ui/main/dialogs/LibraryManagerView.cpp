#include "ui/main/dialogs/LibraryManagerView.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <set>
#include <tuple>

#include "desktop/PanelStyle.h"
#include "desktop/UserText.h"
#include "library/LibraryStore.h"
#include "ui/main/dialogs/DialogStyle.h"
#include "ui/main/dialogs/EditorRow.h"
#include "ui/main/dialogs/LibraryManagerModel.h"

using DialogStyle::Text;

namespace {

// Keeps one row per item, in the items' order: new ids get a row, gone ids lose theirs, and
// only a row whose stored name changed is told so.
template <typename Item, typename Make>
void syncKind(QVBoxLayout* layout, std::map<std::string, EditorRow*>& rows,
              const std::vector<Item>& items, Make make) {
    std::set<std::string> ids;
    for (const Item& item : items) ids.insert(item.id);
    for (auto it = rows.begin(); it != rows.end();) {
        if (ids.count(it->first)) {
            ++it;
            continue;
        }
        delete it->second;
        it = rows.erase(it);
    }
    for (auto& [id, row] : rows) layout->removeWidget(row);
    for (const Item& item : items) {
        EditorRow*& row = rows[item.id];
        if (row)
            row->setStoredName(item.name);
        else
            row = make(item);
        layout->addWidget(row);
    }
}

}  // namespace

LibraryManagerView::LibraryManagerView(LibraryManagerModel* model, QWidget* parent)
    : QDialog(parent),
      model_(model),
      error_(DialogStyle::label(QString(), Text::callout, true)),
      folderField_(new QLineEdit),
      addFolder_(new QPushButton(QStringLiteral("追加"))),
      noFolders_(DialogStyle::secondaryLabel(
          QStringLiteral("まだフォルダがありません。上の欄から作成してください。"), Text::callout)),
      folderRows_(new QVBoxLayout),
      tagField_(new QLineEdit),
      addTag_(new QPushButton(QStringLiteral("追加"))),
      noTags_(DialogStyle::secondaryLabel(
          QStringLiteral("まだタグがありません。上の欄から作成してください。"), Text::callout)),
      tagRows_(new QVBoxLayout) {
    model_->setParent(this);
    DialogStyle::makeSheet(*this, kSize);
    setWindowTitle(QStringLiteral("フォルダとタグを管理"));

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(24, 24, 24, 24);
    stack->setSpacing(14);

    stack->addLayout(DialogStyle::titleBar(*this, QStringLiteral("フォルダとタグを管理")));

    UserText::makePlain(error_);  // it quotes the name the user typed
    DialogStyle::setColor(error_, PanelStyle::red());
    stack->addWidget(error_);

    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 8, 0);
    column->setSpacing(14);
    const auto fieldRow = [&](QLineEdit* field, const QString& placeholder, QPushButton* add) {
        auto* row = new QHBoxLayout;
        field->setPlaceholderText(placeholder);
        add->setAutoDefault(false);
        DialogStyle::makeProminent(add);
        row->addWidget(field, 1);
        row->addWidget(add);
        return row;
    };
    for (QVBoxLayout* rows : {folderRows_, tagRows_}) {
        rows->setContentsMargins(0, 0, 0, 0);
        rows->setSpacing(8);
    }
    column->addWidget(DialogStyle::label(QStringLiteral("フォルダ"), Text::headline));
    column->addLayout(fieldRow(folderField_, QStringLiteral("新しいフォルダ名"), addFolder_));
    column->addWidget(noFolders_);
    column->addLayout(folderRows_);
    column->addWidget(DialogStyle::divider());
    column->addWidget(DialogStyle::label(QStringLiteral("タグ"), Text::headline));
    column->addLayout(fieldRow(tagField_, QStringLiteral("新しいタグ名"), addTag_));
    column->addWidget(noTags_);
    column->addLayout(tagRows_);
    column->addStretch(1);

    auto* scroll = new QScrollArea;
    scroll->setWidget(content);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    // A bar only when the rows overflow; long names are cut, never scrolled to sideways.
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    stack->addWidget(scroll, 1);

    stack->addWidget(DialogStyle::secondaryLabel(
        QStringLiteral("議事録を右クリック →「フォルダへ移動」「タグを追加」で振り分けられます。"),
        Text::caption));

    connect(folderField_, &QLineEdit::textEdited, this,
            [this](const QString& t) { model_->setNewFolderName(t.toStdString()); });
    connect(tagField_, &QLineEdit::textEdited, this,
            [this](const QString& t) { model_->setNewTagName(t.toStdString()); });
    connect(folderField_, &QLineEdit::returnPressed, model_, &LibraryManagerModel::addFolder);
    connect(addFolder_, &QPushButton::clicked, model_, &LibraryManagerModel::addFolder);
    connect(tagField_, &QLineEdit::returnPressed, model_, &LibraryManagerModel::addTag);
    connect(addTag_, &QPushButton::clicked, model_, &LibraryManagerModel::addTag);
    connect(model_, &LibraryManagerModel::changed, this, &LibraryManagerView::follow);
    connect(model_, &LibraryManagerModel::listsChanged, this, &LibraryManagerView::syncRows);
    follow();
    syncRows();
}

void LibraryManagerView::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    // Typing at once names a new folder, rather than reaching the close button.
    folderField_->setFocus(Qt::OtherFocusReason);
}

EditorRow* LibraryManagerView::folderRow(const std::string& id) const {
    const auto it = folderRowByID_.find(id);
    return it == folderRowByID_.end() ? nullptr : it->second;
}

EditorRow* LibraryManagerView::tagRow(const std::string& id) const {
    const auto it = tagRowByID_.find(id);
    return it == tagRowByID_.end() ? nullptr : it->second;
}

void LibraryManagerView::follow() {
    error_->setVisible(model_->errorMessage().has_value());
    error_->setText(QString::fromStdString(model_->errorMessage().value_or(std::string())));
    const QString folder = QString::fromStdString(model_->newFolderName());
    if (folderField_->text() != folder) folderField_->setText(folder);
    const QString tag = QString::fromStdString(model_->newTagName());
    if (tagField_->text() != tag) tagField_->setText(tag);
    // A button disabled while it has the keyboard would hand it to the next field (a folder's
    // name, text selected) and scroll there: the field it adds from takes it back.
    for (auto [add, field, on] : {std::tuple{addFolder_, folderField_, model_->canAddFolder()},
                                  std::tuple{addTag_, tagField_, model_->canAddTag()}}) {
        if (!on && window()->focusWidget() == add) field->setFocus(Qt::OtherFocusReason);
        add->setEnabled(on);
    }
}

void LibraryManagerView::syncRows() {
    const LibraryState& state = model_->library().state();
    syncKind(folderRows_, folderRowByID_, state.folders, [this](const LibraryFolder& folder) {
        return new EditorRow(
            QStringLiteral("folder"), folder.name,
            [this, id = folder.id](const std::string& name) {
                return model_->renameFolder(id, name);
            },
            [this, id = folder.id] { model_->deleteFolder(id); });
    });
    syncKind(tagRows_, tagRowByID_, state.tags, [this](const LibraryTag& tag) {
        return new EditorRow(
            QStringLiteral("tag"), tag.name,
            [this, id = tag.id](const std::string& name) { return model_->updateTag(id, name); },
            [this, id = tag.id] { model_->deleteTag(id); });
    });
    noFolders_->setVisible(state.folders.empty());
    noTags_->setVisible(state.tags.empty());
}
