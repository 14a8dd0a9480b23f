#include "ui/main/WindowDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "desktop/UserText.h"

bool WindowDialogs::confirm(const QString& title, const QString& message,
                            const QString& destructiveButton) {
    QMessageBox box(parent_);
    box.setIcon(QMessageBox::Warning);
    // Titles and messages name records and folders: their text is shown as written.
    box.setTextFormat(Qt::PlainText);
    box.setText(title);
    box.setInformativeText(message);
    if (auto* info = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        UserText::makePlain(info);
    QPushButton* yes = box.addButton(destructiveButton, QMessageBox::DestructiveRole);
    QPushButton* no = box.addButton(kCancel, QMessageBox::RejectRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

QString WindowDialogs::audioNameFilter() {
    return QStringLiteral(
        "音声ファイル (*.m4a *.mp3 *.wav *.aac *.aif *.aiff *.caf *.flac *.ogg *.oga *.opus "
        "*.wma *.webm *.amr *.3gp *.mp4)");
}

namespace {

// A chooser that can be held to the files its filters offer: then a name typed into it that
// none of them matches is not taken.
class FilteredFileDialog : public QFileDialog {
public:
    FilteredFileDialog(QWidget* parent, const QString& title, bool strict)
        : QFileDialog(parent, title), strict_(strict) {}

    void accept() override {
        if (strict_) {
            for (const QString& file : selectedFiles()) {
                const QFileInfo info(file);
                if (info.isFile() && !QDir::match(patterns(), info.fileName())) return;
            }
        }
        QFileDialog::accept();
    }

private:
    // The patterns between the parentheses of every filter, as in "Name (*.a *.b)".
    QStringList patterns() const {
        QStringList out;
        for (const QString& filter : nameFilters()) {
            const qsizetype open = filter.lastIndexOf(u'('), close = filter.lastIndexOf(u')');
            const QString list =
                open >= 0 && close > open ? filter.mid(open + 1, close - open - 1) : filter;
            out += list.split(u' ', Qt::SkipEmptyParts);
        }
        return out;
    }

    bool strict_;
};

std::optional<std::string> chooseFile(QWidget* parent, const QString& title,
                                      const QStringList& filters, bool strict = false) {
    FilteredFileDialog panel(parent, title, strict);
    panel.setWindowModality(Qt::ApplicationModal);
    panel.setFileMode(QFileDialog::ExistingFile);
    panel.setAcceptMode(QFileDialog::AcceptOpen);
    panel.setNameFilters(filters);
    if (panel.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = panel.selectedFiles();
    if (files.isEmpty() || files.front().isEmpty()) return std::nullopt;
    return files.front().toStdString();
}

}  // namespace

std::optional<std::string> WindowDialogs::openAudioFile() {
    return chooseFile(parent_, kOpenAudioMessage, {audioNameFilter()});
}

QString WindowDialogs::documentNameFilter() {
    // Both cases: the chooser matches names case-sensitively here.
    return QStringLiteral("議事録 (*.docx *.pdf *.md *.txt *.DOCX *.PDF *.MD *.TXT)");
}

std::optional<std::string> WindowDialogs::openDocumentFile() {
    return chooseFile(parent_, QStringLiteral("テンプレートにする議事録を選択"),
                      {documentNameFilter()}, true);
}

std::optional<std::string> WindowDialogs::saveFile(const QString& proposedPath,
                                                   const QString& message,
                                                   const QString& extension) {
    QFileDialog panel(parent_, message);
    panel.setWindowModality(Qt::ApplicationModal);
    panel.setFileMode(QFileDialog::AnyFile);
    panel.setAcceptMode(QFileDialog::AcceptSave);
    // The caller adds a missing extension and asks about overwriting under the final name.
    panel.setOption(QFileDialog::DontConfirmOverwrite);
    panel.setNameFilter(QStringLiteral("*.") + extension);
    const QFileInfo proposed(proposedPath);
    if (proposed.isAbsolute()) panel.setDirectory(proposed.absolutePath());
    panel.selectFile(proposed.fileName());
    if (panel.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = panel.selectedFiles();
    if (files.isEmpty() || files.front().isEmpty()) return std::nullopt;
    return files.front().toStdString();
}
