// The event list editor's window: a table of the model's records and the
// buttons that call it. The questions and messages go through replaceable
// functions so that tests answer them without a blocking message box.
#pragma once

#include <QMainWindow>
#include <functional>

#include "EventListModel.h"

class QLabel;
class QPushButton;
class QTableView;

namespace etleditor {

class EventListWindow : public QMainWindow {
    Q_OBJECT

public:
    using Prompt = std::function<CloseAnswer()>;
    using Notify = std::function<void(const QString& text)>;

    explicit EventListWindow(QWidget* parent = nullptr);

    EventListModel& model() { return model_; }
    QTableView* table() const { return table_; }

    // The unsaved-changes question asked on close; a message box by default.
    void setPrompt(Prompt prompt) { prompt_ = std::move(prompt); }
    // Shows a warning or an error; a message box by default.
    void setNotify(Notify notify) { notify_ = std::move(notify); }

    void AddEvent();
    void RemoveEvent();
    void MoveUp();
    void MoveDown();
    bool Save();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    int CurrentRow() const;
    void SelectRow(int row);
    void Refresh();

    EventListModel model_;
    QTableView* table_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* remove_ = nullptr;
    QPushButton* up_ = nullptr;
    QPushButton* down_ = nullptr;
    QPushButton* save_ = nullptr;
    QLabel* status_ = nullptr;
    Prompt prompt_;
    Notify notify_;
};

}  // namespace etleditor
