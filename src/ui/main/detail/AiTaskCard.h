#pragma once
// The card of one action item handed to the agent: the item as the service returned it, with
// no check box and no actions. It takes the accent look while the record's run is going.
#include <QString>

#include "model/TodoItem.h"
#include "ui/main/detail/CardFrame.h"

class QLabel;

class AiTaskCard : public CardFrame {
    Q_OBJECT
public:
    explicit AiTaskCard(const TodoItem& item, QWidget* parent = nullptr);

    void setRunning(bool running);
    bool isRunning() const { return running_; }
    QString taskText() const;
    // Empty when the item has neither assignee nor due date (the line is then not shown).
    QString metaText() const;

private:
    QLabel* task_;
    QLabel* meta_ = nullptr;
    bool running_ = false;
};
