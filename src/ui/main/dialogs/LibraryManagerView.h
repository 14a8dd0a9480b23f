#pragma once
// The folder and tag manager sheet: a field to create each kind and one editable row per
// folder and tag. Rows are kept per id, so that a change elsewhere never resets what is being
// typed in another row.
#include <QDialog>

#include <map>
#include <string>

class EditorRow;
class LibraryManagerModel;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

class LibraryManagerView : public QDialog {
    Q_OBJECT
public:
    // Takes over `model`.
    explicit LibraryManagerView(LibraryManagerModel* model, QWidget* parent = nullptr);

    LibraryManagerModel& model() const { return *model_; }
    QLabel* errorLabel() const { return error_; }
    QLineEdit* folderField() const { return folderField_; }
    QPushButton* addFolderButton() const { return addFolder_; }
    QLineEdit* tagField() const { return tagField_; }
    QPushButton* addTagButton() const { return addTag_; }
    QLabel* noFoldersLabel() const { return noFolders_; }
    QLabel* noTagsLabel() const { return noTags_; }
    // The row of a folder or tag id; none when it has no row.
    EditorRow* folderRow(const std::string& id) const;
    EditorRow* tagRow(const std::string& id) const;

    static constexpr QSize kSize{540, 500};

protected:
    void showEvent(QShowEvent* e) override;

private:
    void follow();
    void syncRows();

    LibraryManagerModel* model_;
    QLabel* error_;
    QLineEdit* folderField_;
    QPushButton* addFolder_;
    QLabel* noFolders_;
    QVBoxLayout* folderRows_;
    QLineEdit* tagField_;
    QPushButton* addTag_;
    QLabel* noTags_;
    QVBoxLayout* tagRows_;
    std::map<std::string, EditorRow*> folderRowByID_;
    std::map<std::string, EditorRow*> tagRowByID_;
};
