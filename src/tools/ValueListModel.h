#pragma once

#include <QAbstractListModel>
#include <QList>

namespace dunmoss {

// A flat list model over plain values, replaced whole; subclasses say how a value reads.
template <typename Value> class ValueListModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    void setValues(const QList<Value>& values) {
        beginResetModel();
        m_values = values;
        endResetModel();
    }
    const Value& value(int row) const { return m_values.at(row); }
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(m_values.size());
    }

protected:
    QList<Value> m_values;
};

} // namespace dunmoss
