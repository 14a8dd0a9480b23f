#include "ui/main/sidebar/RecordRowDelegate.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include "desktop/DateLocale.h"
#include "desktop/PanelStyle.h"
#include "desktop/UserText.h"
#include "ui/main/Motion.h"
#include "ui/main/sidebar/RecordColorChoice.h"
#include "ui/main/sidebar/RecordListModel.h"
#include "ui/main/sidebar/RowMotion.h"
#include "ui/main/sidebar/SidebarSymbols.h"
#include "ui/main/sidebar/SwatchImages.h"

namespace {

constexpr int kSpacing = 8;
constexpr int kLineGap = 3;
constexpr int kInnerGap = 6;
constexpr qreal kSparkle = 11 * 1.2;  // the symbol's box around an 11-point glyph
const QString kAgentHelp = QStringLiteral("AIが作業中");

QColor withAlpha(QColor c, qreal a) {
    c.setAlphaF(static_cast<float>(c.alphaF() * a));
    return c;
}

const RecordColorChoice* choiceOf(const QModelIndex& index) {
    const QVariant v = index.data(RecordListModel::ColorRole);
    return v.isValid() ? RecordColorChoice::find(v.toString().toStdString()) : nullptr;
}

qreal tintOpacityOf(const QColor& c) {
    return RecordColorChoice::tintOpacity({c.redF(), c.greenF(), c.blueF()});
}

// A colour label at `amount` of its full strength: tint and border unless selected, and the
// bar at the leading edge, which grows from 0.4 of its size as it fades in.
void paintLabel(QPainter& p, const QRect& row, const QPainterPath& shape, const QColor& c,
                qreal amount, bool selected) {
    if (!c.isValid() || amount <= 0) return;
    if (!selected) {
        p.fillPath(shape, withAlpha(c, tintOpacityOf(c) * amount));
        p.strokePath(shape, QPen(withAlpha(c, 0.45 * amount), 1));
    }
    const qreal scale = 0.4 + 0.6 * amount;
    const qreal h = (row.height() - 8) * scale;
    QPainterPath bar;
    bar.addRoundedRect(QRectF(row.left() + 1.5, row.center().y() + 0.5 - h / 2, 3 * scale, h), 1.5,
                       1.5);
    p.fillPath(bar, withAlpha(c, amount));
}

// The text column's left edge inside a row.
int textLeft(const QRect& row) {
    return row.left() + RecordRowDelegate::kPadX + RecordRowDelegate::kCheck + kSpacing;
}

// Room for the title: the row less its padding and, while the agent works, the sparkle.
int titleRoom(const QRect& row, bool running) {
    const int room = row.right() - RecordRowDelegate::kPadX - textLeft(row);
    return running ? room - kInnerGap - static_cast<int>(kSparkle) : room;
}

bool agentRunning(const QModelIndex& index) {
    return index.data(RecordListModel::AgentRunningRole).toBool();
}

}  // namespace

RecordRowDelegate::RecordRowDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

QFont RecordRowDelegate::titleFont() {
    return PanelStyle::font(13, QFont::DemiBold);
}

QFont RecordRowDelegate::captionFont() {
    return PanelStyle::font(11);
}

QString RecordRowDelegate::dateText(const QDateTime& when, const QLocale& locale) {
    const QString lang = QLocale::languageToCode(locale.language());
    // The East Asian forms put the numbers before their units.
    if (lang == QLatin1String("ja") || lang == QLatin1String("zh"))
        return locale.toString(when, QStringLiteral("M月d日 H:mm"));
    if (lang == QLatin1String("ko")) return locale.toString(when, QStringLiteral("M월 d일 H:mm"));
    const QString time = locale.timeFormat(QLocale::ShortFormat);
    const bool twelveHour = time.contains(QLatin1Char('a'), Qt::CaseInsensitive);
    const QString longDate = locale.dateFormat(QLocale::LongFormat);
    const bool dayFirst = longDate.indexOf(QLatin1Char('d')) >= 0 &&
                          longDate.indexOf(QLatin1Char('d')) < longDate.indexOf(QLatin1Char('M'));
    const QString date = dayFirst ? QStringLiteral("d MMM") : QStringLiteral("MMM d,");
    return locale.toString(
        when, date + (twelveHour ? QStringLiteral(" h:mm AP") : QStringLiteral(" HH:mm")));
}

QSize RecordRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
    const QFontMetrics title(titleFont());
    const QFontMetrics caption(captionFont());
    const int h = kPadY + title.height() + kLineGap + caption.height() + 2 + kPadY;
    return {200, std::max(h, kCheck + 2 * kPadY)};
}

QRect RecordRowDelegate::checkRect(const QRect& row) {
    return {row.left() + kPadX, row.center().y() - kCheck / 2, kCheck, kCheck};
}

QRect RecordRowDelegate::sparkleRect(const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    if (!agentRunning(index)) return {};
    const QRect row = option.rect;
    const QFontMetrics fm(titleFont());
    const QString title =
        fm.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, titleRoom(row, true));
    const int x = textLeft(row) + fm.horizontalAdvance(title) + kInnerGap;
    const int y = row.top() + kPadY + (fm.height() - static_cast<int>(kSparkle)) / 2;
    return {x, y, static_cast<int>(kSparkle), static_cast<int>(kSparkle)};
}

void RecordRowDelegate::paint(QPainter* p, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    const QWidget* w = option.widget;
    const QRect row = option.rect;
    const RecordColorChoice* choice = choiceOf(index);
    const QColor tint = choice ? colorOf(*choice) : QColor();
    const bool selected = index.data(RecordListModel::SelectedRole).toBool();
    const bool hovered = option.state.testFlag(QStyle::State_MouseOver);
    const bool checked = index.data(RecordListModel::CheckedRole).toBool();
    const QColor accent = motion::accent(w);

    const std::string id = index.data(RecordListModel::IdRole).toString().toStdString();
    QPainterPath shape;
    shape.addRoundedRect(QRectF(row).adjusted(0.5, 0.5, -0.5, -0.5), kRadius, kRadius);
    if (selected) p->fillPath(shape, accent);
    QColor from;
    if (motion_) motion_->painted(id, tint);
    const qreal change = motion_ ? motion_->colorProgress(id, &from) : 1;
    if (change < 1 && from.isValid() && tint.isValid()) {
        // One colour easing into another.
        const QColor mix =
            QColor::fromRgbF(from.redF() + (tint.redF() - from.redF()) * change,
                             from.greenF() + (tint.greenF() - from.greenF()) * change,
                             from.blueF() + (tint.blueF() - from.blueF()) * change);
        paintLabel(*p, row, shape, mix, 1, selected);
    } else {
        if (change < 1) paintLabel(*p, row, shape, from, 1 - change, selected);
        paintLabel(*p, row, shape, tint, change, selected);
    }
    const qreal wash = motion_ ? motion_->hover(id) : (hovered ? 1 : 0);
    if (!selected && wash > 0)
        p->fillPath(shape, withAlpha(option.palette.color(QPalette::Text), 0.05 * wash));

    const QColor text = selected ? option.palette.color(QPalette::HighlightedText)
                                 : option.palette.color(QPalette::Text);
    const QColor secondary = selected ? withAlpha(text, 0.8) : PanelStyle::secondary(w);

    // Check circle.
    const QRectF check = checkRect(row);
    const qreal scale = motion_ ? motion_->checkScale(id, checked) : (checked ? 1.12 : 1.0);
    if (checked) {
        const qreal grow = (scale - 1) * check.width() / 2;
        SidebarSymbols::paint(*p, QStringLiteral("checkmark.circle.fill"),
                              check.adjusted(-grow, -grow, grow, grow), selected ? text : accent);
    } else {
        const qreal grow = (scale - 1) * check.width() / 2;
        SidebarSymbols::paint(*p, QStringLiteral("circle"),
                              check.adjusted(-grow, -grow, grow, grow), secondary);
    }

    // Title line.
    const QFont tf = titleFont();
    const QFontMetrics tm(tf);
    const int left = textLeft(row);
    const bool running = agentRunning(index);
    const int room = titleRoom(row, running);
    const QString title =
        tm.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, room);
    p->setFont(tf);
    p->setPen(text);
    const int titleTop = row.top() + kPadY;
    p->drawText(QRect(left, titleTop, room, tm.height()), Qt::AlignLeft | Qt::AlignVCenter, title);
    if (running) {
        const QRectF box = sparkleRect(option, index);
        const qreal t = pulse_ ? pulse_() : 0;
        const qreal scale = 0.9 + 0.28 * t;
        const QPointF c = box.center();
        const qreal side = box.width() * scale;
        p->setOpacity(0.55 + 0.45 * t);
        SidebarSymbols::paint(*p, QStringLiteral("sparkles"),
                              QRectF(c.x() - side / 2, c.y() - side / 2, side, side),
                              selected ? text : accent);
        p->setOpacity(1);
    }

    // Date and template badge.
    const QFont cf = captionFont();
    const QFontMetrics cm(cf);
    p->setFont(cf);
    const int captionTop = titleTop + tm.height() + kLineGap;
    const QRect line(left, captionTop, row.right() - kPadX - left, cm.height() + 2);
    const QString date =
        dateText(index.data(RecordListModel::CreatedAtRole).toDateTime(), DateLocale::forDates());
    p->setPen(secondary);
    p->drawText(line, Qt::AlignLeft | Qt::AlignVCenter, date);
    const int badgeLeft = left + cm.horizontalAdvance(date) + kInnerGap;
    const int badgeRoom = line.right() - badgeLeft - 12;
    if (badgeRoom > 12) {
        const QString name = cm.elidedText(index.data(RecordListModel::TemplateNameRole).toString(),
                                           Qt::ElideRight, badgeRoom);
        const QRectF badge(badgeLeft + 0.5, line.top() + 0.5, cm.horizontalAdvance(name) + 12,
                           line.height() - 1);
        // The record's colour also on a selected row, whose highlight hides its tint.
        const QColor outline = choice     ? withAlpha(tint, 0.8)
                               : selected ? withAlpha(text, 0.7)
                                          : PanelStyle::secondary(w, 0.5);
        p->setPen(QPen(outline, 1));
        p->setBrush(Qt::NoBrush);
        p->drawRoundedRect(badge, badge.height() / 2, badge.height() / 2);
        p->setPen(secondary);
        p->drawText(badge, Qt::AlignCenter, name);
    }
    p->restore();
}

bool RecordRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                  const QStyleOptionViewItem& option, const QModelIndex& index) {
    const bool tip = event->type() == QEvent::ToolTip;
    if (tip && sparkleRect(option, index).contains(event->pos())) {
        QToolTip::showText(event->globalPos(), kAgentHelp, view);
        return true;
    }
    // A title cut short is shown whole, as the characters it holds.
    const QString title = index.data(Qt::DisplayRole).toString();
    const int room = titleRoom(option.rect, agentRunning(index));
    if (tip && QFontMetrics(titleFont()).elidedText(title, Qt::ElideRight, room) != title) {
        QToolTip::showText(event->globalPos(), UserText::asTooltip(title), view, option.rect);
        return true;
    }
    QToolTip::hideText();
    event->ignore();
    return true;
}
