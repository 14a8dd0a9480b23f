#pragma once
// The main window's left column: the search field, the favourites and archive switches with
// the filter popup, the folder and tag filters with the manager and select-all buttons, the
// record list and, while records are marked, the bulk bar. Its state lives in MainViewModel;
// SidebarModel says what the controls show and do.
#include <QWidget>

#include <string>

struct UiContext;
class BulkBar;
class MainViewModel;
class QVariantAnimation;
class RecordListModel;
class RecordListView;
class SidebarButton;
class SidebarModel;
class SidebarSearchField;

class SidebarView : public QWidget {
    Q_OBJECT
public:
    SidebarView(UiContext& ctx, MainViewModel& model, QWidget* parent = nullptr);

    SidebarModel& sidebarModel() const { return *sidebar_; }
    RecordListView* recordList() const { return list_; }
    RecordListModel* rows() const { return rows_; }
    SidebarSearchField* searchField() const { return search_; }
    SidebarButton* favoritesButton() const { return favorites_; }
    SidebarButton* archiveButton() const { return archive_; }
    SidebarButton* filterButton() const { return filter_; }
    SidebarButton* folderButton() const { return folders_; }
    SidebarButton* tagButton() const { return tags_; }
    SidebarButton* managerButton() const { return manager_; }
    SidebarButton* selectAllButton() const { return selectAll_; }
    BulkBar* bulkBar() const { return bulkBar_; }

    // Opens the filter popup below its button.
    void openFilterPopup();

protected:
    void changeEvent(QEvent* event) override;

private:
    void followPalette();
    void followFilters();
    void followList();
    void followMarks();
    void followAgents();
    void slideBulkBar(bool in);

    UiContext& ctx_;
    MainViewModel& model_;
    SidebarModel* sidebar_;
    RecordListModel* rows_;
    SidebarSearchField* search_;
    SidebarButton* favorites_;
    SidebarButton* archive_;
    SidebarButton* filter_;
    SidebarButton* folders_;
    SidebarButton* tags_;
    SidebarButton* manager_;
    SidebarButton* selectAll_;
    RecordListView* list_;
    BulkBar* bulkBar_;
    QVariantAnimation* slide_;
};
