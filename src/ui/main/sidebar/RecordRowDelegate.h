#pragma once
// Paints one record row: the colour tint, hover wash, border and bar, the check circle, the
// title cut to one line with the agent's sparkle while it works, and the date without the year
// beside the template badge.
#include <QDateTime>
#include <QLocale>
#include <QStyledItemDelegate>

#include <functional>

class RowMotion;

class RecordRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit RecordRowDelegate(QObject* parent = nullptr);

    // Where the sparkle stands in its pulse, 0 to 1 (still: 0).
    void setPulse(std::function<qreal()> pulse) { pulse_ = std::move(pulse); }
    // The rows' hover, check and colour transitions; none: every change shows at once.
    void setMotion(RowMotion* motion) { motion_ = motion; }

    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // The check circle's box inside a row's rectangle: a click there marks the row.
    static QRect checkRect(const QRect& row);
    // Abbreviated month, day, hour and minute in the locale's way, never the year. The rows are
    // drawn with DateLocale::forDates().
    static QString dateText(const QDateTime& when, const QLocale& locale);

    static QFont titleFont();
    static QFont captionFont();

    static constexpr int kPadX = 8;
    static constexpr int kPadY = 5;
    static constexpr int kCheck = 17;
    static constexpr qreal kRadius = 7;

private:
    QRect sparkleRect(const QStyleOptionViewItem& option, const QModelIndex& index) const;

    std::function<qreal()> pulse_;
    RowMotion* motion_ = nullptr;
};
