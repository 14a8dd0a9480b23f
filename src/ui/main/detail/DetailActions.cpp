#include "ui/main/detail/DetailActions.h"

#include <QHBoxLayout>
#include <QPointer>

#include "ui/UiContext.h"
#include "ui/main/MainViewModel.h"
#include "ui/main/detail/AgentSection.h"
#include "ui/main/detail/AgentSectionModel.h"
#include "ui/main/detail/DetailActionButtons.h"
#include "ui/main/detail/DetailActionsModel.h"
#include "ui/main/detail/DetailView.h"
#include "ui/main/detail/DetailViewModel.h"

DetailActions::DetailActions(DetailView& view, std::function<void()> openSettings)
    : QObject(&view) {
    DetailViewModel* vm = &view.viewModel();
    UiContext& ctx = view.context();
    model_ = new DetailActionsModel(
        ctx, view.recordID(), [vm] { return vm->effectiveResult(); }, this);
    buttons_ = new DetailActionButtons(ctx, *model_, &view);
    view.headerActions()->addWidget(buttons_, 0, Qt::AlignTop);

    connect(model_, &DetailActionsModel::shareStatusChanged, vm,
            [this, vm] { vm->setShareStatus(model_->shareStatus()); });
    connect(buttons_, &DetailActionButtons::settingsRequested, this,
            [openSettings = std::move(openSettings)] {
                if (openSettings) openSettings();
            });
    MainViewModel* main = &view.mainModel();
    connect(buttons_, &DetailActionButtons::deleteRequested, this, [this, main] {
        // The main window asks before deleting, as for a row's delete.
        if (const MinutesRecord* r = model_->record()) main->requestDelete(*r);
    });

    view.setAgentSectionBuilder([this, vm, &ctx](const std::vector<std::size_t>& aiItems) {
        const MinutesRecord* record = vm->record();
        std::vector<TodoItem> items;
        // The items as the service returned them: the agent's cards show no local edits.
        for (std::size_t i : aiItems)
            if (record && i < record->result.todos.size()) items.push_back(record->result.todos[i]);
        auto* agent = new AgentSectionModel(ctx.engine, ctx.defaults, vm->recordID(),
                                            [model = QPointer(model_)] {
                                                if (model) model->requestAgent();
                                            });
        auto* section = new AgentSection(*agent, std::move(items));
        agent->setParent(section);
        return static_cast<QWidget*>(section);
    });
}
