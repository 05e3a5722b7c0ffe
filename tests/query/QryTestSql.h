// The SELECTs of the register list and the summary report with a condition put in the way the
// two forms put theirs, so that the conditions built here are run on the demo database.
#pragma once

#include "platform/db/Db.h"

#include <QString>
#include <QStringList>

namespace qrytest {

inline QString u(const char* s) { return QString::fromUtf8(s); }

// Register list ("TryOut"): the condition goes after " where  ".
inline QStringList registerListSql(const QString& qryWhere)
{
    QStringList sql;
    sql << QStringLiteral("select BookDate,BookTime,T.PluCode PluCode,PluName,Spec,BarCode,Result, ")
        << QStringLiteral("T.Remark Remark,T.UserCode,T.UserName,ZdrCode,ZdrName, ")
        << QStringLiteral(" T.OrgCode OrgCode,OrgName")
        << QStringLiteral("from TryOutBK T Left Join SubShop S on T.OrgCode=S.OrgCode ")
        << QStringLiteral("                Left Join Goods R on T.PluCode=R.PluCode");
    if (!qryWhere.isEmpty()) sql << QStringLiteral(" where  ") + qryWhere;
    sql << QStringLiteral(" order by BookDate,BookTime ");
    return sql;
}

// Summary report ("TryOutR"): the condition goes after " and  ", the dates are bound.
inline QStringList summaryReportSql(const QString& qryWhere)
{
    const QString w =
        QStringLiteral("from(select F.OrgCode OrgCode,D.PluCode PluCode,sum(D.Counts) Counts,") +
        QStringLiteral("sum(D.Cost) Cost,sum(D.NetCost) NetCost,SUM(D.Total) Total,0 Num1,0 Num2") +
        QStringLiteral(" from DrawDetail D,DrawForm F where DrawDate between :BgnDate and :EndDate and F.DrawNo=D.DrawNo and F.BillType='1' and F.RzDate<>'' and F.RzDate is not null Group By OrgCode,PluCode ") +
        QStringLiteral("Union ") +
        QStringLiteral("select OrgCode,PluCode,0 Counts,0 Cost,0 NetCost,0 Total,sum(Case Result when '0' then 1 else 0 end) Num1, ") +
        QStringLiteral(" sum(Case Result when '1' then 1 else 0 end) Num2") +
        QStringLiteral(" from TryOutBK T where BookDate between :BgnDate1 and :EndDate1 Group by OrgCode,PluCode) ");
    QStringList sql;
    sql << QStringLiteral("select W.OrgCode OrgCode,S.OrgName OrgName,W.PluCode PluCode,G.PluName PluName, ")
        << QStringLiteral("sum(W.Counts) LyCount,sum(W.Cost) JPrice,Sum(W.NetCost) NetJPrice,sum(W.Total) Price, ")
        << QStringLiteral("Sum(W.Num1)+Sum(W.Num2) TryTimes,")
        << QStringLiteral("SatFDgre = Case when Sum(W.Num1)+Sum(W.Num2)<>0 then round(Sum(W.Num1)*1.0/(Sum(W.Num1)+Sum(W.Num2))*100,2) else 0 end, ")
        << QStringLiteral("Frequence =Case when sum(W.Counts)<>0 then round((Sum(W.Num1)+Sum(W.Num2))*1.0/sum(W.Counts),2) else 0 end")
        << w + QStringLiteral(" W,subshop S,Goods G")
        << QStringLiteral("where W.OrgCode = S.OrgCode and W.PluCode =G.PluCode");
    if (!qryWhere.isEmpty()) sql << QStringLiteral(" and  ") + qryWhere;
    sql << QStringLiteral("group by W.Orgcode,S.OrgName,W.Plucode,G.PluName")
        << QStringLiteral(" order by OrgCode,PluCode");
    return sql;
}

// Rows of a statement, each as the named columns joined by tabs. Raises DbError.
inline QStringList runRows(TADOConnection& c, const QStringList& sql, const QStringList& columns,
                           bool reportDates = false)
{
    TADOQuery q(&c);
    q.SQL = sql;
    if (reportDates) {
        q.Parameters.ParamByName(QStringLiteral("BgnDate")).Value = QStringLiteral("2025-01-01");
        q.Parameters.ParamByName(QStringLiteral("EndDate")).Value = QStringLiteral("2026-12-31");
        q.Parameters.ParamByName(QStringLiteral("BgnDate1")).Value = QStringLiteral("2025-01-01");
        q.Parameters.ParamByName(QStringLiteral("EndDate1")).Value = QStringLiteral("2026-12-31");
    }
    q.Open();
    QStringList rows;
    while (!q.Eof()) {
        QStringList cells;
        for (const QString& col : columns) cells << q.FieldByName(col).AsString();
        rows << cells.join(QLatin1Char('\t'));
        q.Next();
    }
    return rows;
}

inline int countOf(TADOConnection& c, const QString& tsql)
{
    TADOQuery q(&c);
    q.SQL << tsql;
    q.Open();
    return int(q.Field(0).AsInteger());
}

inline void exec(TADOConnection& c, const QString& tsql)
{
    TADOQuery q(&c);
    q.SQL << tsql;
    q.ExecSQL();
}

// An integer field of the summary report: the drawn quantity of a row of its derived table.
inline void addQuantityField(TADOConnection& c)
{
    exec(c, QStringLiteral("insert into tXtQry(QryType,SerialNo,FldCode,FldName,FldType,VluType,"
                           "VluObject,VluField,VluCaption,VER) values('TryOutR',9,'W.Counts',") +
                QuotedStr(u("数量")) + QStringLiteral(",'I','0','','','','0')"));
}

} // namespace qrytest
