#pragma once
// One record in the detail column. A new view is made for each record shown; it finds its
// record in the store by id, so that it follows the record's later changes.
#include <QWidget>

#include <string>

struct UiContext;
class MainViewModel;

class DetailView : public QWidget {
    Q_OBJECT
public:
    DetailView(UiContext& ctx, MainViewModel& model, std::string recordID,
               QWidget* parent = nullptr);

    const std::string& recordID() const { return recordID_; }

private:
    UiContext& ctx_;
    MainViewModel& model_;
    std::string recordID_;
};
