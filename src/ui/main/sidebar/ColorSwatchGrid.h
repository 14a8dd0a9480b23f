#pragma once
// A grid of the palette's colours as 17-point filled circles named by their tooltips, with a
// "no colour" entry first. Picking one reports its id, or none for "no colour".
#include <QWidget>

#include <optional>
#include <string>

class ColorSwatchGrid : public QWidget {
    Q_OBJECT
public:
    // `current` is ringed; `columns` flexible columns `spacing` apart.
    ColorSwatchGrid(std::optional<std::string> current, int columns, int spacing,
                    QWidget* parent = nullptr);

    static constexpr int kDot = 17;

signals:
    void picked(const std::optional<std::string>& id);
};
