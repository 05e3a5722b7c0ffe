// Copies a whole query result into a client dataset.
#pragma once

#include <QObject>

class TADOQuery;
class TClientDataSet;

class TDataSetProvider : public QObject {
    Q_OBJECT
public:
    explicit TDataSetProvider(QObject* parent = nullptr) : QObject(parent) {}
    void setDataSet(TADOQuery* q) { m_query = q; }
    TADOQuery* DataSet() const { return m_query; }
    // Opens the query when it is closed (and closes it again afterwards), or re-reads it from its
    // first row, and replaces the rows of ds with the whole result. Decimal columns arrive as
    // floating point. DbError/DatasetError pass; ds keeps its rows then.
    void CopyTo(TClientDataSet& ds);

private:
    TADOQuery* m_query = nullptr;
};
