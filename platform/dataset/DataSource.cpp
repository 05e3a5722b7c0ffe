#include "platform/dataset/DataSource.h"

#include "platform/dataset/ClientDataSet.h"
#include "platform/ui/Guard.h"

TDataSource::TDataSource(QObject* parent) : QObject(parent)
{
}

void TDataSource::setDataSet(TClientDataSet* ds)
{
    if (ds == m_ds) return;
    for (const auto& c : m_conns) disconnect(c);
    m_conns.clear();
    m_ds = ds;
    if (ds) {
        m_conns << connect(ds, &TClientDataSet::dataSetChanged, this, [this] { fire(nullptr); });
        m_conns << connect(ds, &TClientDataSet::scrolled, this, [this] { fire(nullptr); });
        m_conns << connect(ds, &TClientDataSet::recordChanged, this, [this](TField* f) { fire(f); });
        m_conns << connect(ds, &TClientDataSet::stateChanged, this, [this] {
            if (!m_enabled) return;
            Q_EMIT stateChange();
            if (m_onStateChange) guard([this] { m_onStateChange(this); });
        });
    }
    Q_EMIT dataSetReplaced();
    fire(nullptr);
}

void TDataSource::fire(TField* f)
{
    if (!m_enabled) return;
    Q_EMIT dataChange(f);
    if (m_onDataChange) guard([this, f] { m_onDataChange(this, f); });
}
