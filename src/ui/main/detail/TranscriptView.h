#pragma once
// The transcript by speaker, drawn by one widget: each line is laid out once per width and only
// the lines in view are painted, so an hour of conversation opens and scrolls without a widget
// per line. The spoken text can be selected with the mouse and copied.
#include <QWidget>

#include <map>
#include <memory>
#include <vector>

#include "model/Transcript.h"

class QTextLayout;

class TranscriptView : public QWidget {
    Q_OBJECT
public:
    explicit TranscriptView(const Transcript& lines, QWidget* parent = nullptr);
    ~TranscriptView() override;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

    int rowCount() const { return static_cast<int>(rows_.size()); }
    // Where row `i` stands at the current width.
    QRect rowRect(int i) const;
    QString selectedText() const;
    void selectAll();

    static constexpr int kSpeakerWidth = 90;
    static constexpr int kColumnSpacing = 14;
    static constexpr int kRowSpacing = 14;
    static constexpr int kLineSpacing = 6;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    struct Row;
    struct Position {
        int row = 0;
        int pos = 0;
        auto operator<=>(const Position&) const = default;
    };

    void layoutFor(int width) const;
    int rowAt(int y) const;
    Position positionAt(const QPoint& p) const;
    void copy() const;

    std::vector<std::unique_ptr<Row>> rows_;
    mutable int laidOutWidth_ = -1;
    mutable int totalHeight_ = 0;
    mutable std::map<int, int> heights_;  // height for each width asked for
    Position anchor_, cursor_;
    QFont speakerFont_, timeFont_, textFont_;
};
