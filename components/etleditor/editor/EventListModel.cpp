#include "EventListModel.h"

#include <QFile>
#include <algorithm>
#include <filesystem>
#include <system_error>

namespace etleditor {

namespace {

std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// A whole decimal number from 0 to max, or false.
bool ParseNumber(const QString& text, unsigned max, unsigned* value) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return false;
    for (QChar c : t)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    bool ok = false;
    const qulonglong v = t.toULongLong(&ok, 10);
    if (!ok || v > max) return false;
    *value = unsigned(v);
    return true;
}

}  // namespace

QString EventListModel::CheckCode(const QString& text, std::uint16_t* code) {
    unsigned v = 0;
    if (!ParseNumber(text, 65535, &v)) return tr("The code must be a whole number from 0 to 65535.");
    if (code) *code = std::uint16_t(v);
    return {};
}

QString EventListModel::CheckFlag(const QString& text, std::uint8_t* flag) {
    unsigned v = 0;
    if (!ParseNumber(text, 255, &v)) return tr("The flag must be a whole number from 0 to 255.");
    if (flag) *flag = std::uint8_t(v);
    return {};
}

QString EventListModel::CheckName(const QString& text, std::string* latin1) {
    for (QChar c : text) {
        if (c.unicode() == 0) return tr("The name must not hold a NUL character.");
        if (c.unicode() > 0xFF) return tr("The name may hold only Latin-1 characters.");
    }
    // Latin-1 takes one byte per character.
    if (std::size_t(text.size()) > etl::kNameSize)
        return tr("The name must fit in 31 bytes; this one has %1.").arg(text.size());
    if (latin1) *latin1 = text.toLatin1().toStdString();
    return {};
}

EventListModel::EventListModel(QObject* parent) : QAbstractTableModel(parent) {}

bool EventListModel::Open(const QString& path, QString* message) {
    const std::string local = LocalPath(path);
    std::vector<etl::Event> events;
    bool isNew = false;
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(local, ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        events = etl::DefaultTable();
        isNew = true;
    } else if (etl::CheckFile(local) == etl::Problem::CannotOpen) {
        // Checked before reading so that a folder or a device is never opened.
        if (message)
            *message = tr("The file %1 cannot be opened as an event list: it is not a readable file. "
                          "It was left as it is.")
                           .arg(path);
        return false;
    } else {
        try {
            events = etl::ReadFile(local);
        } catch (const etl::Error& e) {
            if (message)
                *message = tr("%1 It is not a valid event list and was left as it is.")
                               .arg(QString::fromLocal8Bit(e.what()));
            return false;
        }
    }
    beginResetModel();
    events_ = std::move(events);
    path_ = path;
    open_ = true;
    new_ = isNew;
    endResetModel();
    // A new list exists only in the editor until it is saved.
    SetModified(isNew);
    return true;
}

bool EventListModel::Save(QString* message) {
    if (!open_) {
        if (message) *message = tr("No event list is open.");
        return false;
    }
    if (events_.size() < etl::kMinRecords) {
        if (message) *message = tr("An event list needs at least 10 records.");
        return false;
    }
    try {
        etl::WriteFile(LocalPath(path_), events_);
    } catch (const etl::Error& e) {
        if (message) *message = QString::fromLocal8Bit(e.what());
        return false;
    }
    new_ = false;
    SetModified(false);
    return true;
}

bool EventListModel::MayClose(const std::function<CloseAnswer()>& ask, QString* message) {
    if (!modified_) return true;
    switch (ask()) {
        case CloseAnswer::Save:
            return Save(message);
        case CloseAnswer::Discard:
            return true;
        case CloseAnswer::Cancel:
            break;
    }
    return false;
}

int EventListModel::AddEvent(int afterRow) {
    const int row = ValidRow(afterRow) ? afterRow + 1 : int(events_.size());
    unsigned highest = 0;
    for (const etl::Event& e : events_) highest = std::max<unsigned>(highest, e.code);
    etl::Event event;
    event.code = std::uint16_t(events_.empty() ? 1 : highest < 65535 ? highest + 1 : 0);
    event.name = "Unused";
    beginInsertRows({}, row, row);
    events_.insert(events_.begin() + row, event);
    endInsertRows();
    SetModified(true);
    return row;
}

bool EventListModel::RemoveEvent(int row, QString* warning) {
    if (!ValidRow(row)) return false;
    if (events_.size() <= etl::kMinRecords) {
        if (warning)
            *warning = tr("An event list holds at least 10 records. Removing this one would leave %1, "
                          "so it stays.")
                           .arg(events_.size() - 1);
        return false;
    }
    beginRemoveRows({}, row, row);
    events_.erase(events_.begin() + row);
    endRemoveRows();
    SetModified(true);
    return true;
}

bool EventListModel::MoveUp(int row) {
    if (!ValidRow(row) || row == 0) return false;
    beginMoveRows({}, row, row, {}, row - 1);
    std::swap(events_[row], events_[row - 1]);
    endMoveRows();
    SetModified(true);
    return true;
}

bool EventListModel::MoveDown(int row) {
    if (!ValidRow(row + 1) || row < 0) return false;
    return MoveUp(row + 1);
}

bool EventListModel::SetField(int row, int column, const QString& text, QString* message) {
    if (!ValidRow(row)) return false;
    etl::Event changed = events_[row];
    QString problem;
    switch (column) {
        case CodeColumn:
            problem = CheckCode(text, &changed.code);
            break;
        case FlagColumn:
            problem = CheckFlag(text, &changed.flag);
            break;
        case NameColumn:
            problem = CheckName(text, &changed.name);
            break;
        default:
            return false;
    }
    if (!problem.isEmpty()) {
        if (message) *message = problem;
        return false;
    }
    if (changed == events_[row]) return true;
    events_[row] = std::move(changed);
    emit dataChanged(index(row, column), index(row, column));
    SetModified(true);
    return true;
}

int EventListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(events_.size());
}

int EventListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant EventListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !ValidRow(index.row())) return {};
    const etl::Event& e = events_[index.row()];
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        switch (index.column()) {
            case CodeColumn:
                return QString::number(e.code);
            case FlagColumn:
                return QString::number(e.flag);
            case NameColumn:
                return QString::fromLatin1(e.name.data(), qsizetype(e.name.size()));
        }
    }
    if (role == Qt::TextAlignmentRole && index.column() != NameColumn)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant EventListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    switch (section) {
        case CodeColumn:
            return tr("Code");
        case FlagColumn:
            return tr("Flag");
        case NameColumn:
            return tr("Name");
    }
    return {};
}

Qt::ItemFlags EventListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

bool EventListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid()) return false;
    QString message;
    if (SetField(index.row(), index.column(), value.toString(), &message)) return true;
    if (!message.isEmpty()) emit editRefused(message);
    return false;
}

void EventListModel::SetModified(bool modified) {
    if (modified_ == modified) return;
    modified_ = modified;
    emit modifiedChanged(modified);
}

}  // namespace etleditor
