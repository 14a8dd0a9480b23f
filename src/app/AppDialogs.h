#pragma once
// The real modal dialogs behind the windows' Dialogs interface: a message box for the delete
// questions and the file chooser for the audio import.
#include <QPointer>
#include <QWidget>

#include "ui/UiContext.h"

class AppDialogs : public Dialogs {
public:
    // Dialogs are centred on `parent` while it is there.
    explicit AppDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    bool confirm(const QString& title, const QString& message,
                 const QString& destructiveButton) override;
    std::optional<std::string> openAudioFile() override;

    // The file chooser's filter: the audio formats the import can read.
    static QString audioFilter();

private:
    QPointer<QWidget> parent_;
};
