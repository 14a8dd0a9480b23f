#pragma once
// The width wrapper of the detail view's rows: the content at most `maxWidth` wide, leading
// inside that band, the band centred in the column, 40 px from either edge.
#include <QWidget>

class DetailColumn : public QWidget {
    Q_OBJECT
public:
    explicit DetailColumn(QWidget* content, int maxWidth = 820, QWidget* parent = nullptr);

    QWidget* content() const { return content_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;

    static constexpr int kPadding = 40;

protected:
    void resizeEvent(QResizeEvent*) override;

private:
    int bandWidth(int width) const;

    QWidget* content_;
    int maxWidth_;
};
