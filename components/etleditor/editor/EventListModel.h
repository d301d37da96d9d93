// The event list being edited: its records, the checks on every field, and
// opening and saving through the etl library. No widgets; the window shows
// this model in a table view and the tests drive it directly.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "etl/etl.h"

namespace etleditor {

// The user's answer to the unsaved-changes question.
enum class CloseAnswer { Save, Discard, Cancel };

class EventListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { CodeColumn, FlagColumn, NameColumn, ColumnCount };

    // Field checks. Each returns an empty string when the text is acceptable
    // (and stores the value when asked to), else the message to show.
    static QString CheckCode(const QString& text, std::uint16_t* code = nullptr);
    static QString CheckFlag(const QString& text, std::uint8_t* flag = nullptr);
    static QString CheckName(const QString& text, std::string* latin1 = nullptr);

    explicit EventListModel(QObject* parent = nullptr);

    // Opens the file. A missing file opens as a new list holding the default
    // table, not yet saved. Any other file that is not an event list is
    // refused: false, the message set, and the model left closed, so that
    // nothing can be saved over it.
    bool Open(const QString& path, QString* message);

    // Writes the list to its file (temporary file, then rename). False with
    // the message when the model is closed or the write fails.
    bool Save(QString* message);

    // Asked on close. True when the window may close: nothing unsaved, the
    // user discards the changes, or answers Save and the save succeeds.
    // ask is called only when there are unsaved changes.
    bool MayClose(const std::function<CloseAnswer()>& ask, QString* message);

    // Adds an event after row (at the end for -1): the next free code after
    // the highest, flag 0, name "Unused". Returns the new row.
    int AddEvent(int afterRow);
    // Refused, with the warning set, when the list would drop below the 10
    // records an event list needs.
    bool RemoveEvent(int row, QString* warning);
    bool MoveUp(int row);
    bool MoveDown(int row);
    // Sets one field from its text after the field's check.
    bool SetField(int row, int column, const QString& text, QString* message);

    bool isOpen() const { return open_; }
    bool isNew() const { return new_; }
    bool isModified() const { return modified_; }
    const QString& path() const { return path_; }
    const std::vector<etl::Event>& events() const { return events_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // An edit the checks refuse leaves the field as it was and emits editRefused.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

signals:
    void editRefused(const QString& message);
    void modifiedChanged(bool modified);

private:
    void SetModified(bool modified);
    bool ValidRow(int row) const { return row >= 0 && row < int(events_.size()); }

    std::vector<etl::Event> events_;
    QString path_;
    bool open_ = false;
    bool new_ = false;
    bool modified_ = false;
};

}  // namespace etleditor
