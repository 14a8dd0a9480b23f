// Clocks keep their width as the seconds count, whatever the widths of the font's own digits.
#include <QFontInfo>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <set>

#include <gtest/gtest.h>

#include "FakeRecorder.h"
#include "desktop/PanelStyle.h"
#include "desktop/RecordingPillView.h"
#include "desktop/TabularDigits.h"

namespace {

// Every clock text of the range, "m:ss" as the recorder shows it.
QStringList clockTexts(const QString& prefix, int from, int to) {
    QStringList out;
    for (int s = from; s < to; ++s)
        out << prefix + QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
    return out;
}

// A face of the test machine's fonts whose digits have widths of their own.
QFont proportionalDigitsFont() {
    QFont f(QStringLiteral("Noto Serif CJK JP"));
    f.setPixelSize(24);
    return f;
}

}  // namespace

TEST(TabularDigits, TheClockFontsHaveOneDigitWidth) {
    const std::pair<const char*, QFont> fonts[] = {
        {"pill", RecordingPillView::clockFont()},
        {"panel text", PanelStyle::font(13)},
        {"panel title", PanelStyle::font(17)},
    };
    for (const auto& [name, font] : fonts) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(TabularDigits::native(font)) << QFontInfo(font).family().toStdString();
    }
}

// A font with digits of their own widths still gives a clock of one width, with the digits and
// what follows them drawn in the same places whichever digits they are.
TEST(TabularDigits, CellsWhereTheFontsDigitsDiffer) {
    const QFont font = proportionalDigitsFont();
    ASSERT_EQ(QFontInfo(font).family(), font.family()) << "fonts-noto-cjk is needed";
    ASSERT_FALSE(TabularDigits::native(font));
    std::set<qreal> widths;
    for (const QString& t : clockTexts(QStringLiteral("停止 "), 0, 600))
        widths.insert(TabularDigits::width(font, t));
    EXPECT_EQ(widths.size(), 1u);
    EXPECT_GE(*widths.begin(), QFontMetricsF(font).horizontalAdvance(QStringLiteral("停止 0:00")));

    // The colon after "11" and after "00" is drawn on the same pixels.
    const auto draw = [&](const QString& text) {
        QImage img(200, 40, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::white);
        QPainter p(&img);
        p.setFont(font);
        p.setPen(Qt::black);
        TabularDigits::draw(p, QRectF(0, 0, 200, 40), Qt::AlignLeft | Qt::AlignVCenter, text);
        return img;
    };
    qreal widest = 0;
    for (char d = '0'; d <= '9'; ++d)
        widest = std::max(widest, QFontMetricsF(font).horizontalAdvance(QChar(d)));
    const QRect colon(static_cast<int>(std::ceil(2 * widest)), 0,
                      static_cast<int>(QFontMetricsF(font).horizontalAdvance(QChar(':'))), 40);
    const QImage ones = draw(QStringLiteral("11:11")).copy(colon);
    const QImage zeros = draw(QStringLiteral("00:00")).copy(colon);
    QImage blank(colon.size(), ones.format());
    blank.fill(Qt::white);
    EXPECT_NE(ones, blank) << "the colon is there";
    EXPECT_EQ(ones, zeros);
}

TEST(RecordingPill, ClockKeepsItsWidth) {
    FakeRecorder rec;
    rec.start();
    RecordingPillView pill(rec);
    const std::pair<int, int> ranges[] = {{0, 600}, {600, 3600}};
    for (const auto& [from, to] : ranges) {
        std::set<qreal> widths;
        for (int s = from; s < to; ++s) {
            rec.setElapsed(s);
            widths.insert(pill.clockTextRect().width());
        }
        EXPECT_EQ(widths.size(), 1u) << from;
    }
}
