#pragma once
// The agent's part of the action tab: one card per item handed to the agent, then one block
// that follows the record's run — a start button, the working banner, the result card with its
// folder, report and re-run buttons (and a line when the desktop could not open the folder or
// the report), or the error card with a retry. The banner names the tool the settings choose,
// also when they change while it is shown.
#include <QWidget>

#include <vector>

#include "model/TodoItem.h"

class AgentSectionModel;
class AiTaskCard;
class QLabel;
class QPushButton;
class QVBoxLayout;

class AgentSection : public QWidget {
    Q_OBJECT
public:
    AgentSection(AgentSectionModel& model, std::vector<TodoItem> items, QWidget* parent = nullptr);

    const std::vector<AiTaskCard*>& cards() const { return cards_; }
    // The block of the run as it stands; replaced at each change of the run.
    QWidget* stateBlock() const { return block_; }
    // The block's button with this text, or nullptr.
    QPushButton* button(const QString& text) const;
    // The result card's line saying what its buttons could not open; nullptr without the card.
    QLabel* problemLabel() const { return problem_; }

private:
    void rebuildBlock();

    AgentSectionModel& model_;
    bool hasItems_;
    QVBoxLayout* column_;
    std::vector<AiTaskCard*> cards_;
    QWidget* block_ = nullptr;
    QLabel* problem_ = nullptr;
};
