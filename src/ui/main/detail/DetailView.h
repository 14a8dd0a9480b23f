#pragma once
// One record in the detail column. A new view is made for each record shown; it finds its
// record in the store by id, so that it follows the record's later changes.
//
// Top to bottom: the header (title, meeting facts, creation time and template, and at its
// trailing edge the record's menus), the tab picker, the transient status line, a divider and
// the page of the chosen tab. The pages are built when first shown and rebuilt when the record,
// the library, the agent runs or the settings they show change; each keeps its scroll position
// across a rebuild, and the chosen tab and an open task editor stay as they are.
#include <QWidget>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

struct UiContext;
class ActionItemView;
class DetailViewModel;
class MainViewModel;
class QAbstractButton;
class QBoxLayout;
class QHBoxLayout;
class QLabel;
class QScrollArea;
class QStackedWidget;
class QVBoxLayout;
class TaskEditor;
class TranscriptView;

class DetailView : public QWidget {
    Q_OBJECT
public:
    DetailView(UiContext& ctx, MainViewModel& model, std::string recordID,
               QWidget* parent = nullptr);
    ~DetailView() override;

    const std::string& recordID() const { return recordID_; }
    DetailViewModel& viewModel() const { return *vm_; }
    UiContext& context() const { return ctx_; }
    MainViewModel& mainModel() const { return model_; }

    // --- Places for the record's share and actions menus and the agent's block.
    // The trailing end of the header, after a spacer: the record's menu buttons go here.
    QHBoxLayout* headerActions() const { return headerActions_; }
    // Builds the agent section of the action tab for the given agent items (positions in the
    // record's action items; may be empty). Called at each rebuild of the action page while
    // the tab shows that section; without a builder the section stays empty.
    using AgentSectionBuilder = std::function<QWidget*(const std::vector<std::size_t>& aiItems)>;
    void setAgentSectionBuilder(AgentSectionBuilder build);
    // The status line shows DetailViewModel::shareStatus(); writers set and clear it there.

    // --- For tests and the benchmark.
    QLabel* titleLabel() const { return title_; }
    QLabel* headerLineLabel() const { return headerLine_; }
    QLabel* dateLabel() const { return dateLine_; }
    QLabel* statusLabel() const { return status_; }
    QAbstractButton* tabButton(int tab) const;
    // The page of a tab (built on demand) and its scroll area.
    QWidget* page(int tab);
    QScrollArea* scrollArea(int tab) const;
    std::vector<ActionItemView*> actionItems(int tab);
    TranscriptView* transcript();
    TaskEditor* taskEditor() const { return editor_; }
    // Rebuilds the shown page now and the others when next shown.
    void rebuildPages();

private:
    static int pageIndex(int tab);
    void followContent();
    void followTab();
    void followStatus();
    void followEditor();
    void rebuildActionsPage();
    void buildPage(int index);
    QWidget* summaryPage();
    QWidget* actionsPage();
    QWidget* transcriptPage();
    ActionItemView* itemView(std::size_t index, bool card);

    UiContext& ctx_;
    MainViewModel& model_;
    std::string recordID_;
    DetailViewModel* vm_;
    QLabel* title_;
    QLabel* headerLine_;
    QLabel* dateLine_;
    QHBoxLayout* headerActions_;
    std::vector<QAbstractButton*> tabs_;
    QLabel* status_;
    QStackedWidget* pages_;
    std::vector<QScrollArea*> scrolls_;
    std::vector<bool> stale_;
    AgentSectionBuilder agentSection_;
    TaskEditor* editor_ = nullptr;
};
