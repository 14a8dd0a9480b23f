#include "ui/main/detail/ShareStatusLine.h"

#include "desktop/PanelStyle.h"
#include "ui/main/detail/DetailActionsModel.h"

ShareStatusLine::ShareStatusLine(DetailActionsModel& model, QWidget* parent)
    : QLabel(parent), model_(model) {
    setFont(PanelStyle::font(12));
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, PanelStyle::secondary(this));
    setPalette(colours);
    setWordWrap(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setAlignment(Qt::AlignLeading | Qt::AlignVCenter);
    connect(&model_, &DetailActionsModel::shareStatusChanged, this, &ShareStatusLine::follow);
    follow();
}

void ShareStatusLine::follow() {
    const auto& status = model_.shareStatus();
    setText(status.value_or(QString()));
    setVisible(status.has_value());
}
