#pragma once
// The rows' small transitions, kept by record id for the painter to read: the hover wash
// fading in and out, the check mark springing, and a colour label easing from the old colour to
// the new one. Nothing moves under reduced motion.
#include <QColor>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <map>
#include <string>

class QWidget;

class RowMotion : public QObject {
    Q_OBJECT
public:
    explicit RowMotion(QWidget* surface);

    // The row under the pointer, or "" for none.
    void setHovered(const std::string& id);
    // 0 to 1: how much of the hover wash shows.
    qreal hover(const std::string& id) const;

    void checkChanged(const std::string& id, bool checked);
    // The check symbol's scale: 1.12 checked, 1 not, springing between.
    qreal checkScale(const std::string& id, bool checked) const;

    // The colour a row is painted with now (invalid: none); a change from the one it was last
    // painted with starts easing from that.
    void painted(const std::string& id, const QColor& color);
    // Where the colour change stands, 0 to 1, and what it started from; 1 when none runs.
    qreal colorProgress(const std::string& id, QColor* from) const;

    static constexpr int kHoverMs = 150;
    static constexpr int kCheckMs = 300;
    static constexpr int kColorMs = 220;

private:
    struct Move {
        qreal from = 0;
        qreal to = 0;
        QColor color;
        qint64 start = 0;
    };
    qint64 now() const { return clock_.elapsed(); }
    qreal progress(const Move& m, int ms) const;
    void start();
    void step();

    QWidget* surface_;
    QElapsedTimer clock_;
    QTimer tick_;
    std::string hovered_;
    std::map<std::string, Move> hover_;
    std::map<std::string, Move> check_;
    std::map<std::string, Move> color_;
    std::map<std::string, QColor> seen_;
};
