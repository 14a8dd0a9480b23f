#pragma once
// A provider's logo at 18 × 18: the SVG ":/brands/<name>.svg" bundled with the app, or the
// "link" symbol when there is no such file or it is not a loadable image. The marks bundled are
// our own: a letter or a shape in each service's colour.
#include <QWidget>

class BrandIcon : public QWidget {
    Q_OBJECT
public:
    explicit BrandIcon(const QString& name, QWidget* parent = nullptr);

    const QString& name() const { return name_; }
    // Whether the logo file is drawn (otherwise the fallback symbol).
    bool showsLogo() const;

    static QString resourcePath(const QString& name);
    // Whether the file at `path` is an SVG that can be drawn.
    static bool loadable(const QString& path);

    static constexpr int kSide = 18;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString name_;
};
