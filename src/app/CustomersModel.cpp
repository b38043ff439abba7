#include "app/CustomersModel.h"

#include "settings/SettingsKeys.h"
#include "settings/UserDef.h"
#include "util/StringUtil.h"

#include <QVariantMap>

namespace {

QString studioKey() {
    return QStringLiteral("PhotoStudioName");
}

QString entryText(const QVariant& entry, const QString& name) {
    const QVariant value = entry.toMap().value(name);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

} // namespace

CustomersModel::CustomersModel(QObject* parent) : QAbstractTableModel(parent) {
    reload();
}

void CustomersModel::reload() {
    beginResetModel();
    entries.clear();
    if (const std::optional<QVariantList> list = UserDef::arrayForKey(SettingsKey::Customers)) {
        for (const QVariant& item : *list) {
            if (item.typeId() == QMetaType::QVariantMap) {
                entries.append(item);
            }
        }
    }
    endResetModel();
}

void CustomersModel::store() {
    UserDef::setObject(entries, SettingsKey::Customers, true);
}

int CustomersModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(entries.size());
}

int CustomersModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QString CustomersModel::studioName(int row) const {
    return row >= 0 && row < entries.size() ? entryText(entries.at(row), studioKey()) : QString();
}

QString CustomersModel::customerCode(int row) const {
    return row >= 0 && row < entries.size() ? entryText(entries.at(row), SettingsKey::CustomerCode)
                                            : QString();
}

QVariant CustomersModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= entries.size() ||
        (role != Qt::DisplayRole && role != Qt::EditRole)) {
        return {};
    }
    return index.column() == StudioNameColumn ? studioName(index.row()) : customerCode(index.row());
}

bool CustomersModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || index.row() >= entries.size()) {
        return false;
    }
    QVariantMap entry = entries.at(index.row()).toMap();
    const QString text = value.toString();
    if (index.column() == StudioNameColumn) {
        entry.insert(studioKey(), text.trimmed());
    } else if (text.trimmed().isEmpty()) {
        entry.remove(SettingsKey::CustomerCode);
    } else {
        const std::optional<QString> code = orbel::normalizedCustomerCode(text);
        if (!code) {
            Q_EMIT codeRefused(text);
            return false;
        }
        entry.insert(SettingsKey::CustomerCode, *code);
    }
    entries[index.row()] = entry;
    store();
    Q_EMIT dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

Qt::ItemFlags CustomersModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

QVariant CustomersModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Vertical) {
        return section + 1;
    }
    return section == StudioNameColumn ? QStringLiteral("写真館名")
                                       : QStringLiteral("お客様コード");
}

bool CustomersModel::insertRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || row < 0 || row > entries.size() || count < 1) {
        return false;
    }
    beginInsertRows(parent, row, row + count - 1);
    for (int i = 0; i < count; ++i) {
        entries.insert(row, QVariantMap{{studioKey(), QString()}});
    }
    endInsertRows();
    store();
    return true;
}

bool CustomersModel::removeRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || row < 0 || count < 1 || row + count > entries.size()) {
        return false;
    }
    beginRemoveRows(parent, row, row + count - 1);
    entries.remove(row, count);
    endRemoveRows();
    store();
    return true;
}
