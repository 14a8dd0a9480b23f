#pragma once
// The real modal questions of the windows: a message box for deletions and the file panels
// (audio import, template document, export), all opened through one helper.
#include <QPointer>
#include <QWidget>

#include "ui/UiContext.h"

class WindowDialogs : public Dialogs {
public:
    explicit WindowDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    // The window a question belongs to when none of the app's windows is active.
    void setWindow(QWidget* window) { parent_ = window; }
    // The window the next question stands above: the one it is asked from (the settings ask
    // for a template document, the main window for the rest), else the one set.
    QWidget* owner() const;

    bool confirm(const QString& title, const QString& message,
                 const QString& destructiveButton) override;
    std::optional<std::string> openAudioFile() override;
    std::optional<std::string> openDocumentFile() override;
    std::optional<std::string> saveFile(const QString& proposedPath, const QString& message,
                                        const QString& extension) override;

    static inline const QString kOpenAudioMessage =
        QStringLiteral("議事録にする音声ファイルを選択");
    static inline const QString kCancel = QStringLiteral("キャンセル");
    // What counts as audio in the chooser.
    static QString audioNameFilter();
    // The documents a template is made from: PDF, plain text, Word (.docx) and Markdown. The
    // chooser offers these only, and says so when a name of another kind is typed.
    static QString documentNameFilter();
    static inline const QString kDocumentKinds = QStringLiteral(
        "このファイルは読み込めません。選べるのは .docx / .pdf / .md / .txt のファイルです");

private:
    QPointer<QWidget> parent_;
};
