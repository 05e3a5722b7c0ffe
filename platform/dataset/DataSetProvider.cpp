#include "platform/dataset/DataSetProvider.h"

#include "platform/dataset/ClientDataSet.h"
#include "platform/db/Db.h"

void TDataSetProvider::CopyTo(TClientDataSet& ds)
{
    if (!m_query) throw DatasetError(QStringLiteral("%1：没有数据提供者的查询").arg(objectName()));
    const bool opened = !m_query->Active();
    if (opened) m_query->Open();
    else m_query->First();
    struct CloseAfter {
        TADOQuery* q;
        bool on;
        ~CloseAfter()
        {
            if (on) q->Close();
        }
    } closer{m_query, opened};
    DbCursor* cur = m_query->cursor();
    if (!cur) throw DatasetError(QStringLiteral("%1：查询没有结果").arg(objectName()));
    ds.loadFromCursor(*cur);
}
