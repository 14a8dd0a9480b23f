#pragma once
// The rows of the agent, integration and account tabs, stacked from the top across the full
// width, with the few labelled rows a form has. Not a QFormLayout: after one of its rows was
// hidden, that can lay a row shown again, or a row next to it, out at no height at all.
#include <QVBoxLayout>

class QString;

class SettingsFormLayout : public QVBoxLayout {
    Q_OBJECT
public:
    explicit SettingsFormLayout(QWidget* parent);

    // A row the full width of the tab.
    void addRow(QWidget* row);
    // A row of a label and its field, which takes the rest of the width.
    void addRow(const QString& label, QWidget* field);
};
