#include "app/AppDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

bool AppDialogs::confirm(const QString& title, const QString& message,
                         const QString& destructiveButton) {
    QMessageBox box(QMessageBox::Warning, title, message, QMessageBox::NoButton, parent_);
    QPushButton* destroy = box.addButton(destructiveButton, QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == destroy;
}

std::optional<std::string> AppDialogs::openAudioFile() {
    const QString file = QFileDialog::getOpenFileName(
        parent_, QStringLiteral("議事録にする音声ファイルを選択"), QDir::homePath(), audioFilter());
    if (file.isEmpty()) return std::nullopt;
    return QFile::encodeName(file).toStdString();
}

QString AppDialogs::audioFilter() {
    return QStringLiteral(
        "音声ファイル (*.m4a *.mp3 *.wav *.aac *.aif *.aiff *.caf *.flac *.ogg *.oga *.opus "
        "*.wma *.webm)");
}
