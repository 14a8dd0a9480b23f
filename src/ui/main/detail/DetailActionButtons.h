#pragma once
// The detail view's two header menus: "共有" sends the shown minutes to an integration or opens
// the share-access dialog; the "…" menu copies, exports, shows the file, asks the agent and
// deletes. Entries are built from the view-model each time a menu opens, so that a setting
// changed meanwhile shows at once.
#include <QWidget>

#include <functional>

class DetailActionsModel;
class QMenu;
class QToolButton;
struct UiContext;

class DetailActionButtons : public QWidget {
    Q_OBJECT
public:
    static inline const QString kShareTitle = QStringLiteral("共有");
    static inline const QString kAccess = QStringLiteral("メンバーと共有・権限設定…");
    static inline const QString kSettings = QStringLiteral("連携設定…");
    static inline const QString kCopy = QStringLiteral("Markdownをコピー");
    static inline const QString kExport = QStringLiteral("ファイルに書き出し");
    static inline const QString kReveal = QStringLiteral("ファイルマネージャで表示");
    static inline const QString kAgent = QStringLiteral("AIエージェントにTODOを依頼");
    static inline const QString kDelete = QStringLiteral("削除…");

    DetailActionButtons(UiContext& ctx, DetailActionsModel& model, QWidget* parent = nullptr);

    QToolButton* shareButton() const { return shareButton_; }
    QToolButton* actionsButton() const { return actionsButton_; }
    QMenu* shareMenu() const { return shareMenu_; }
    QMenu* actionsMenu() const { return actionsMenu_; }

    // Refills both menus from the model; each menu does so itself as it opens.
    void rebuildMenus();

signals:
    void settingsRequested();
    void deleteRequested();

private:
    void rebuildShareMenu();
    void rebuildActionsMenu();

    UiContext& ctx_;
    DetailActionsModel& model_;
    QToolButton* shareButton_;
    QToolButton* actionsButton_;
    QMenu* shareMenu_;
    QMenu* actionsMenu_;
};
