// The link between a dataset and its controls: one data-change event for every move of the
// current record and every change of the data.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

class TClientDataSet;
class TField;

class TDataSource : public QObject {
    Q_OBJECT
public:
    explicit TDataSource(QObject* parent = nullptr);
    void setDataSet(TClientDataSet* ds);
    TClientDataSet* DataSet() const { return m_ds; }
    bool Enabled() const { return m_enabled; }
    void setEnabled(bool e) { m_enabled = e; }

    // field: the changed field of the current record, nullptr for a move or a change of the
    // whole data. The handler runs inside guard().
    using DataChangeHandler = std::function<void(TDataSource* sender, TField* field)>;
    void setOnDataChange(DataChangeHandler h) { m_onDataChange = std::move(h); }
    using StateChangeHandler = std::function<void(TDataSource* sender)>;
    void setOnStateChange(StateChangeHandler h) { m_onStateChange = std::move(h); }

Q_SIGNALS:
    void dataChange(TField* field);
    void stateChange();
    void dataSetReplaced(); // another dataset was attached

private:
    void fire(TField* f);
    QPointer<TClientDataSet> m_ds;
    bool m_enabled = true;
    DataChangeHandler m_onDataChange;
    StateChangeHandler m_onStateChange;
    QList<QMetaObject::Connection> m_conns;
};
