#include "ui/main/detail/TranscriptView.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>

#include "ui/main/detail/DetailStyle.h"

struct TranscriptView::Row {
    QString speaker;
    QString time;
    QTextLayout text;
    int y = 0;
    int height = 0;
    int speakerHeight = 0;
    int estimatedWidth = 0;  // of the text on one line, without a layout
};

TranscriptView::TranscriptView(const Transcript& lines, QWidget* parent)
    : QWidget(parent),
      speakerFont_(DetailStyle::font(14, QFont::DemiBold)),
      timeFont_(QFontDatabase::systemFont(QFontDatabase::FixedFont)),
      textFont_(DetailStyle::font(16)) {
    timeFont_.setPixelSize(12);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    setFocusPolicy(Qt::ClickFocus);
    setCursor(Qt::IBeamCursor);
    rows_.reserve(lines.size());
    for (const TranscriptLine& line : lines) {
        auto row = std::make_unique<Row>();
        row->speaker = QString::fromStdString(line.speaker);
        row->time = QString::fromStdString(line.time.value_or(""));
        row->text.setText(QString::fromStdString(line.text));
        row->text.setFont(textFont_);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        row->text.setTextOption(option);
        // Wide (CJK) characters take about a full em, the others a little over half of one.
        for (const QChar ch : row->text.text())
            row->estimatedWidth += ch.unicode() >= 0x1100 ? 16 : 9;
        rows_.push_back(std::move(row));
    }
}

TranscriptView::~TranscriptView() = default;

void TranscriptView::layoutFor(int width) const {
    if (width == laidOutWidth_) return;
    laidOutWidth_ = width;
    const int textWidth = std::max(40, width - kSpeakerWidth - kColumnSpacing);
    const QFontMetrics speakerMetrics(speakerFont_);
    const QFontMetrics timeMetrics(timeFont_);
    int y = 0;
    for (const auto& row : rows_) {
        QTextLayout& layout = row->text;
        layout.beginLayout();
        qreal h = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(textWidth);
            line.setPosition(QPointF(0, h));
            h += line.height() + kLineSpacing;
        }
        layout.endLayout();
        const int textHeight = std::max(0, static_cast<int>(h) - kLineSpacing);
        row->speakerHeight = speakerMetrics
                                 .boundingRect(QRect(0, 0, kSpeakerWidth, 10000),
                                               Qt::AlignRight | Qt::TextWrapAnywhere, row->speaker)
                                 .height();
        int column = row->speakerHeight;
        if (!row->time.isEmpty()) column += 2 + timeMetrics.height();
        row->y = y;
        row->height = std::max(textHeight, column);
        y += row->height + kRowSpacing;
    }
    totalHeight_ = rows_.empty() ? 0 : y - kRowSpacing;
}

// Layouts ask for several widths in turn, and a full layout of an hour costs tens of
// milliseconds: widths the view has had are answered exactly, others by an estimate that the
// resize to that width corrects.
int TranscriptView::heightForWidth(int width) const {
    if (auto it = heights_.find(width); it != heights_.end()) return it->second;
    const int textWidth = std::max(40, width - kSpeakerWidth - kColumnSpacing);
    const int lineHeight = QFontMetrics(textFont_).height();
    const int speakerHeight = QFontMetrics(speakerFont_).height();
    int y = 0;
    for (const auto& row : rows_) {
        const int lines = std::max(1, (row->estimatedWidth + textWidth - 1) / textWidth);
        const int column = speakerHeight + (row->time.isEmpty() ? 0 : 14);
        y += std::max(lines * (lineHeight + kLineSpacing) - kLineSpacing, column) + kRowSpacing;
    }
    return rows_.empty() ? 0 : y - kRowSpacing;
}

QSize TranscriptView::sizeHint() const {
    // A rough figure that needs no layout; the layouts use heightForWidth.
    if (laidOutWidth_ > 0) return QSize(laidOutWidth_, totalHeight_);
    return QSize(820, rowCount() * 60);
}

QRect TranscriptView::rowRect(int i) const {
    layoutFor(width());
    if (i < 0 || i >= rowCount()) return {};
    return QRect(0, rows_[i]->y, width(), rows_[i]->height);
}

void TranscriptView::resizeEvent(QResizeEvent*) {
    layoutFor(width());
    if (heights_.size() > 8) heights_.clear();
    heights_[width()] = totalHeight_;
    if (totalHeight_ != height()) updateGeometry();
}

int TranscriptView::rowAt(int y) const {
    // The first row whose bottom (with its spacing) is below y.
    const auto it = std::lower_bound(rows_.begin(), rows_.end(), y, [](const auto& row, int v) {
        return row->y + row->height + kRowSpacing <= v;
    });
    return std::min(static_cast<int>(it - rows_.begin()), rowCount() - 1);
}

void TranscriptView::paintEvent(QPaintEvent* e) {
    if (rows_.empty()) return;
    layoutFor(width());
    QPainter p(this);
    const QColor text = palette().color(QPalette::WindowText);
    const QColor secondary = DetailStyle::secondary(this);
    const int textX = kSpeakerWidth + kColumnSpacing;
    const auto [from, to] = std::minmax(anchor_, cursor_);
    for (int i = rowAt(e->rect().top()); i < rowCount(); ++i) {
        const Row& row = *rows_[i];
        if (row.y > e->rect().bottom()) break;
        p.setPen(text);
        p.setFont(speakerFont_);
        p.drawText(QRect(0, row.y, kSpeakerWidth, row.speakerHeight),
                   Qt::AlignRight | Qt::TextWrapAnywhere, row.speaker);
        if (!row.time.isEmpty()) {
            p.setPen(secondary);
            p.setFont(timeFont_);
            p.drawText(QRect(0, row.y + row.speakerHeight + 2, kSpeakerWidth, 100),
                       Qt::AlignRight | Qt::AlignTop, row.time);
        }
        QList<QTextLayout::FormatRange> selection;
        if (from != to && i >= from.row && i <= to.row) {
            const int start = i == from.row ? from.pos : 0;
            const int end = i == to.row ? to.pos : row.text.text().size();
            QTextLayout::FormatRange range;
            range.start = start;
            range.length = end - start;
            range.format.setBackground(palette().brush(QPalette::Highlight));
            range.format.setForeground(palette().brush(QPalette::HighlightedText));
            selection << range;
        }
        p.setPen(text);
        row.text.draw(&p, QPointF(textX, row.y), selection);
    }
}

TranscriptView::Position TranscriptView::positionAt(const QPoint& point) const {
    if (rows_.empty()) return {};
    const int i = rowAt(point.y());
    const QTextLayout& layout = rows_[i]->text;
    const qreal y = point.y() - rows_[i]->y;
    if (y < 0) return {i, 0};
    for (int l = 0; l < layout.lineCount(); ++l) {
        const QTextLine line = layout.lineAt(l);
        if (y < line.y() + line.height() + kLineSpacing || l + 1 == layout.lineCount())
            return {i, line.xToCursor(point.x() - kSpeakerWidth - kColumnSpacing)};
    }
    return {i, 0};
}

void TranscriptView::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    anchor_ = cursor_ = positionAt(e->pos());
    update();
}

void TranscriptView::mouseMoveEvent(QMouseEvent* e) {
    if (!(e->buttons() & Qt::LeftButton)) return;
    cursor_ = positionAt(e->pos());
    update();
}

QString TranscriptView::selectedText() const {
    const auto [from, to] = std::minmax(anchor_, cursor_);
    if (from == to) return {};
    QStringList parts;
    for (int i = from.row; i <= to.row && i < rowCount(); ++i) {
        const QString& t = rows_[i]->text.text();
        const int start = i == from.row ? from.pos : 0;
        const int end = i == to.row ? to.pos : t.size();
        parts << t.mid(start, end - start);
    }
    return parts.join(QLatin1Char('\n'));
}

void TranscriptView::selectAll() {
    if (rows_.empty()) return;
    anchor_ = {0, 0};
    cursor_ = {rowCount() - 1, static_cast<int>(rows_.back()->text.text().size())};
    update();
}

void TranscriptView::copy() const {
    const QString text = selectedText();
    if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

void TranscriptView::keyPressEvent(QKeyEvent* e) {
    if (e->matches(QKeySequence::Copy))
        copy();
    else if (e->matches(QKeySequence::SelectAll))
        selectAll();
    else
        QWidget::keyPressEvent(e);
}

void TranscriptView::contextMenuEvent(QContextMenuEvent* e) {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(QStringLiteral("コピー"), this, &TranscriptView::copy)
        ->setEnabled(!selectedText().isEmpty());
    menu->addAction(QStringLiteral("すべてを選択"), this, &TranscriptView::selectAll);
    menu->popup(e->globalPos());
}
