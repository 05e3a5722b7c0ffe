// Shared set-up of the dataset and grid benchmarks: the volume database and the register list's
// statement and fields.
#pragma once

#include "platform/dataset/ClientDataSet.h"
#include "platform/db/Db.h"
#include "schema/Schema.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <cstdio>
#include <malloc.h>
#include <memory>

namespace bench {

// Bytes the C heap holds now (small blocks and mapped large ones).
inline double heapMiB()
{
    const struct mallinfo2 mi = mallinfo2();
    return double(mi.uordblks + mi.hblkhd) / (1024.0 * 1024.0);
}

inline int trialCount()
{
    const QByteArray n = qgetenv("QOR_BENCH_TRIALS");
    return n.isEmpty() ? 1000000 : n.toInt();
}

// The volume database (realistic: a chain's master data and distinct remarks): $QOR_BENCH_DB,
// or a file in the current folder; made on first use.
inline QString databasePath()
{
    QString p = qEnvironmentVariable("QOR_BENCH_DB");
    if (p.isEmpty()) p = QDir::currentPath() + QStringLiteral("/bench-realistic-%1.db").arg(trialCount());
    if (!QFile::exists(p)) {
        std::fprintf(stderr, "creating %s with %d trials ...\n", qPrintable(p), trialCount());
        QElapsedTimer t;
        t.start();
        auto c = TADOConnection::openSqlite(p);
        Schema::createDatabase(*c, true);
        Schema::generateTrials(*c, trialCount());
        std::fprintf(stderr, "created in %.1f s\n", t.elapsed() / 1000.0);
    }
    return p;
}

// The register list's statement, line by line as the form composes it.
inline QStringList registerListSql()
{
    return {QStringLiteral("select BookDate,BookTime,T.PluCode PluCode,PluName,Spec,BarCode,Result, "),
            QStringLiteral("T.Remark Remark,T.UserCode,T.UserName,ZdrCode,ZdrName, "),
            QStringLiteral(" T.OrgCode OrgCode,OrgName"),
            QStringLiteral("from TryOutBK T Left Join SubShop S on T.OrgCode=S.OrgCode "),
            QStringLiteral("                Left Join Goods R on T.PluCode=R.PluCode"),
            QStringLiteral(" order by BookDate,BookTime ")};
}

// The register list's fields of qryHead, with ResultD computed from Result.
inline void defineRegisterFields(TClientDataSet& ds)
{
    const struct {
        const char* name;
        int size;
    } fields[] = {{"BookDate", 10}, {"BookTime", 8}, {"PluCode", 20}, {"PluName", 20}, {"BarCode", 20},
                  {"Spec", 10},     {"ResultD", 10}, {"Remark", 100}, {"ZdrCode", 6},   {"ZdrName", 10},
                  {"UserCode", 6},  {"UserName", 10}, {"OrgCode", 6},  {"OrgName", 10},  {"Result", 1}};
    for (const auto& f : fields) ds.addField(QString::fromLatin1(f.name), ftString, f.size);
    TField* resD = ds.FieldByName(QStringLiteral("ResultD"));
    TField* res = ds.FieldByName(QStringLiteral("Result"));
    resD->setFieldKind(fkInternalCalc);
    ds.setOnCalcFields([resD, res](TClientDataSet*) {
        static const std::string ok = "0-满意", bad = "1-不满意";
        resD->setUtf8(res->asUtf8() == "0" ? ok : bad);
    });
}

} // namespace bench
