#pragma once
// The detail column's placeholder while no record is shown. It displays an EmptyStateContent;
// a change of kind builds its content anew, so the indicators start from their first frame.
#include <QWidget>

#include "ui/main/EmptyStateContent.h"

class QLabel;
class QVBoxLayout;

class EmptyStateView : public QWidget {
    Q_OBJECT
public:
    explicit EmptyStateView(QWidget* parent = nullptr);

    void setContent(const EmptyStateContent& content);
    const EmptyStateContent& content() const { return content_; }

    // The texts shown now, top to bottom, for tests.
    QStringList texts() const;

private:
    void rebuild();
    // `clock`: a label whose digits keep their places as the seconds count up.
    QLabel* addLabel(const QString& text, const QFont& font, const QColor& color,
                     bool clock = false);

    EmptyStateContent content_;
    QWidget* body_ = nullptr;
    QVBoxLayout* column_ = nullptr;
    QLabel* title_ = nullptr;  // the clock while recording
};
