#include "ui/main/WindowDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTreeView>

#include "desktop/UserText.h"
#include "ui/main/FilePanelColumns.h"

QWidget* WindowDialogs::owner() const {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    QWidget* active = QApplication::activeWindow();
    if (active && active->windowType() != Qt::Popup) return active;
    return parent_;
}

bool WindowDialogs::confirm(const QString& title, const QString& message,
                            const QString& destructiveButton) {
    QMessageBox box(owner());
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
// none of them matches is not taken, and the chooser says which kinds it takes.
class FilteredFileDialog : public QFileDialog {
public:
    FilteredFileDialog(QWidget* parent, const QString& title, const QString& refusal)
        : QFileDialog(parent, title), refusal_(refusal) {
        if (refusal_.isEmpty()) return;
        // Qt's own panel: it matches names without regard to case ("a.Pdf" is listed), and it
        // is where the refusal can be said; a desktop's panel would match "*.pdf" only.
        setOption(QFileDialog::DontUseNativeDialog);
        if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
            note_ = UserText::plainLabel(refusal_, this);
            note_->setObjectName(QStringLiteral("refusalNote"));
            note_->setWordWrap(true);
            note_->hide();
            grid->addWidget(note_, grid->rowCount(), 0, 1, grid->columnCount());
        }
        // Qt's panel greys out Open for a file its filters hide, once it has read the folder:
        // the note says why as soon as such a name is typed.
        if (auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            QObject::connect(name, &QLineEdit::textChanged, this, [this](const QString& typed) {
                showNote(!typed.isEmpty() && refused(directory().absoluteFilePath(typed)));
            });
    }

    void accept() override {
        if (!refusal_.isEmpty()) {
            for (const QString& file : selectedFiles())
                if (refused(file)) return showNote(true);
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

    bool refused(const QString& file) const {
        const QFileInfo info(file);
        return info.isFile() && !QDir::match(patterns(), info.fileName());
    }
    void showNote(bool shown) {
        if (note_) note_->setVisible(shown);
    }

    QString refusal_;
    QLabel* note_ = nullptr;
};

// Wide enough for the folder list beside the name, size, type and date columns.
constexpr QSize kPanelSize{900, 560};
// The places beside it ("コンピュータ", home) whole.
constexpr int kPlacesWidth = 150;

// Every file panel of the windows goes through here: modal, opened at a size where its
// columns fit, the name column taking what the others leave, sizes and dates in Japanese.
std::optional<std::string> runPanel(QFileDialog& panel) {
    panel.setWindowModality(Qt::ApplicationModal);
    QSize size = kPanelSize;
    if (const QScreen* screen = panel.screen())
        size = size.boundedTo(screen->availableGeometry().size() * 0.9);
    panel.resize(size);
    panel.setProxyModel(new FilePanelColumns(&panel));
    // The panel's own widgets; a panel of the desktop's has none and sizes itself.
    if (auto* places = panel.findChild<QSplitter*>(QStringLiteral("splitter")))
        places->setSizes({kPlacesWidth, size.width() - kPlacesWidth});
    if (auto* details = panel.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = details->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(QHeaderView::ResizeToContents);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
    }
    if (panel.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = panel.selectedFiles();
    if (files.isEmpty() || files.front().isEmpty()) return std::nullopt;
    return files.front().toStdString();
}

// `refusal`, when given, holds the chooser to its filters and is said when a name of another
// kind is refused.
std::optional<std::string> chooseFile(QWidget* parent, const QString& title,
                                      const QStringList& filters, const QString& refusal = {}) {
    FilteredFileDialog panel(parent, title, refusal);
    panel.setFileMode(QFileDialog::ExistingFile);
    panel.setAcceptMode(QFileDialog::AcceptOpen);
    panel.setNameFilters(filters);
    return runPanel(panel);
}

}  // namespace

std::optional<std::string> WindowDialogs::openAudioFile() {
    return chooseFile(owner(), kOpenAudioMessage, {audioNameFilter()});
}

QString WindowDialogs::documentNameFilter() {
    // Matched without regard to case: "議事録.Docx" is offered too.
    return QStringLiteral("議事録 (*.docx *.pdf *.md *.txt)");
}

std::optional<std::string> WindowDialogs::openDocumentFile() {
    return chooseFile(owner(), QStringLiteral("テンプレートにする議事録を選択"),
                      {documentNameFilter()}, kDocumentKinds);
}

std::optional<std::string> WindowDialogs::saveFile(const QString& proposedPath,
                                                   const QString& message,
                                                   const QString& extension) {
    QFileDialog panel(owner(), message);
    panel.setFileMode(QFileDialog::AnyFile);
    panel.setAcceptMode(QFileDialog::AcceptSave);
    // The caller adds a missing extension and asks about overwriting under the final name.
    panel.setOption(QFileDialog::DontConfirmOverwrite);
    panel.setNameFilter(QStringLiteral("*.") + extension);
    const QFileInfo proposed(proposedPath);
    if (proposed.isAbsolute()) panel.setDirectory(proposed.absolutePath());
    panel.selectFile(proposed.fileName());
    return runPanel(panel);
}
