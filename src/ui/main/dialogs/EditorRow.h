#pragma once
// One folder or tag in the manager: its symbol, an editable name, "保存" and a delete button.
// The field keeps what the user types until the stored name itself changes.
#include <QWidget>

#include <functional>
#include <string>

class ElidedLineEdit;
class QPushButton;
class QToolButton;

class EditorRow : public QWidget {
    Q_OBJECT
public:
    // `save` gets the typed name and says whether the library took it.
    using Save = std::function<bool(const std::string& name)>;
    using Remove = std::function<void()>;

    EditorRow(const QString& symbol, const std::string& name, Save save, Remove remove,
              QWidget* parent = nullptr);

    // The stored name changed: the field shows it. The same name leaves the field alone.
    void setStoredName(const std::string& name);
    const std::string& storedName() const { return stored_; }

    ElidedLineEdit* nameField() const { return field_; }
    QPushButton* saveButton() const { return save_; }
    QToolButton* deleteButton() const { return delete_; }

private:
    std::string stored_;
    ElidedLineEdit* field_;
    QPushButton* save_;
    QToolButton* delete_;
};
