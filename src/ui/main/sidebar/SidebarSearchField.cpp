#include "ui/main/sidebar/SidebarSearchField.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <utility>

#include "desktop/PanelStyle.h"
#include "ui/main/sidebar/SidebarButton.h"
#include "ui/main/sidebar/SidebarSymbols.h"

namespace {

constexpr int kOuter = 12;
constexpr int kInner = 10;

class Magnifier : public QWidget {
public:
    using QWidget::QWidget;
    QSize sizeHint() const override { return {15, 15}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        SidebarSymbols::paint(p, QStringLiteral("magnifyingglass"), QRectF(rect()),
                              PanelStyle::secondary(this));
    }
};

}  // namespace

SidebarSearchField::SidebarSearchField(QWidget* parent)
    : QWidget(parent),
      edit_(new QLineEdit),
      clear_(new SidebarButton(QStringLiteral("xmark.circle.fill"), QString(),
                               SidebarButton::Style::plain, 13)) {
    setFixedHeight(kHeight);
    edit_->setPlaceholderText(QStringLiteral("議事録を検索"));
    edit_->setFrame(false);
    edit_->setFont(PanelStyle::font(13));
    edit_->setAttribute(Qt::WA_MacShowFocusRect, false);
    QPalette clear = edit_->palette();
    clear.setColor(QPalette::Base, Qt::transparent);
    edit_->setPalette(clear);
    clear_->setToolTip(QStringLiteral("検索をクリア"));
    clear_->setTint(PanelStyle::secondary(this));
    clear_->setVisible(false);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(kOuter + kInner, 0, kOuter + kInner - 4, 0);
    row->setSpacing(7);
    auto* glass = new Magnifier;
    glass->setFixedSize(15, 15);
    row->addWidget(glass, 0, Qt::AlignVCenter);
    row->addWidget(edit_, 1, Qt::AlignVCenter);
    row->addWidget(clear_, 0, Qt::AlignVCenter);

    // Ctrl+Shift+A belongs to the window's select-all, not to the field's "deselect" (bound
    // to those keys on some desktops).
    edit_->installEventFilter(this);

    connect(edit_, &QLineEdit::textEdited, this, [this](const QString& text) {
        clear_->setVisible(!text.isEmpty());
        emit queryEdited(text);
    });
    connect(clear_, &QAbstractButton::clicked, this, [this] {
        edit_->clear();
        clear_->setVisible(false);
        emit queryEdited(QString());
    });
}

bool SidebarSearchField::eventFilter(QObject* watched, QEvent* e) {
    if (watched == edit_ && e->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(e);
        if (key->keyCombination() ==
            QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_A)) {
            e->ignore();
            return true;
        }
    }
    return QWidget::eventFilter(watched, e);
}

QString SidebarSearchField::query() const {
    return edit_->text();
}

void SidebarSearchField::setQuery(const QString& query) {
    if (edit_->text() != query) edit_->setText(query);
    clear_->setVisible(!query.isEmpty());
}

QRectF SidebarSearchField::fieldRect() const {
    return {kOuter, (height() - kFieldHeight) / 2.0, width() - 2.0 * kOuter, kFieldHeight};
}

// A press on the magnifier or the padding inside the field is a press on the field: it gives
// the text the keyboard and never reaches the window, which would take it for a drag of its
// background. Outside the rounded field the sidebar's background begins.
void SidebarSearchField::mousePressEvent(QMouseEvent* e) {
    pressed_ = fieldRect().contains(e->position());
    if (!pressed_) {
        e->ignore();
        return;
    }
    if (e->button() == Qt::LeftButton) edit_->setFocus(Qt::MouseFocusReason);
    e->accept();
}

void SidebarSearchField::mouseMoveEvent(QMouseEvent* e) {
    e->setAccepted(pressed_);
}

void SidebarSearchField::mouseReleaseEvent(QMouseEvent* e) {
    e->setAccepted(std::exchange(pressed_, false));
}

void SidebarSearchField::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(fieldRect(), 8, 8);
    QColor fill = palette().color(QPalette::WindowText);
    fill.setAlphaF(0.05f);
    p.fillPath(path, fill);
}
