#include "ui/main/sidebar/ColorSwatchGrid.h"

#include <QAbstractButton>
#include <QGridLayout>
#include <QPainter>

#include "desktop/PanelStyle.h"
#include "ui/main/Motion.h"
#include "ui/main/sidebar/RecordColorChoice.h"
#include "ui/main/sidebar/SidebarSymbols.h"
#include "ui/main/sidebar/SwatchImages.h"

namespace {

class Dot : public QAbstractButton {
public:
    Dot(const RecordColorChoice* choice, bool current, QWidget* parent)
        : QAbstractButton(parent), choice_(choice), current_(current) {
        setMinimumSize(10, ColorSwatchGrid::kDot + 4);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setCursor(Qt::PointingHandCursor);
        setToolTip(choice ? QString::fromStdString(choice->name) : QStringLiteral("色なし"));
        setAccessibleName(toolTip());
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal d = std::min<qreal>(ColorSwatchGrid::kDot, width());
        const QRectF r(width() / 2.0 - d / 2, height() / 2.0 - d / 2, d, d);
        if (!choice_) {
            SidebarSymbols::paint(p, QStringLiteral("slash.circle"), r,
                                  PanelStyle::secondary(this));
        } else {
            p.setPen(Qt::NoPen);
            p.setBrush(colorOf(*choice_));
            p.drawEllipse(r);
        }
        if (current_ || isDown()) {
            QPen ring(motion::accent(this), 2);
            p.setPen(ring);
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(r.adjusted(-2, -2, 2, 2));
        }
    }

private:
    const RecordColorChoice* choice_;
    bool current_;
};

}  // namespace

ColorSwatchGrid::ColorSwatchGrid(std::optional<std::string> current, int columns, int spacing,
                                 QWidget* parent)
    : QWidget(parent) {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(spacing);
    grid->setVerticalSpacing(spacing);
    int n = 0;
    auto add = [&](const RecordColorChoice* choice) {
        auto* dot = new Dot(choice, choice && current == choice->id, this);
        std::optional<std::string> id;
        if (choice) id = choice->id;
        connect(dot, &QAbstractButton::clicked, this, [this, id] { emit picked(id); });
        grid->addWidget(dot, n / columns, n % columns);
        ++n;
    };
    add(nullptr);
    for (const RecordColorChoice& c : RecordColorChoice::palette()) add(&c);
    for (int c = 0; c < columns; ++c) grid->setColumnStretch(c, 1);
}
