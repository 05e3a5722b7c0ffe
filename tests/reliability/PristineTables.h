// The database as a test found it: every table's rows for comparing, and a way to put them back
// between runs of a flow.
#pragma once

#include "platform/db/Db.h"
#include "tests/support/TestSupport.h"

#include <QString>
#include <QStringList>

class PristineTables {
public:
    // Copies the database as it is now; restore() puts it back.
    void remember(TADOConnection& db)
    {
        using namespace Qt::StringLiterals;
        m_file = testTempDir() + u"/pristine.db"_s;
        db.executeScript(u"VACUUM INTO '%1'"_s.arg(m_file));
        m_tables = queryRows(db, u"select name from sqlite_master where type='table' and name not like 'sqlite%' order by name"_s);
    }

    // Every row of every table but the excepted ones, sorted per table.
    QStringList snapshot(TADOConnection& db, const QStringList& except = {}) const
    {
        using namespace Qt::StringLiterals;
        QStringList out;
        for (const QString& t : m_tables) {
            if (except.contains(t, Qt::CaseInsensitive)) continue;
            QStringList rows = queryRows(db, u"select * from "_s + t);
            rows.sort();
            out << t + u": "_s + rows.join(u" | "_s);
        }
        return out;
    }

    void restore(TADOConnection& db) const
    {
        using namespace Qt::StringLiterals;
        QString script = u"ATTACH '%1' AS p;"_s.arg(m_file);
        for (const QString& t : m_tables)
            script += u"DELETE FROM main.%1; INSERT INTO main.%1 SELECT * FROM p.%1;"_s.arg(t);
        db.executeScript(script + u"DETACH p;"_s);
    }

private:
    QString m_file;
    QStringList m_tables;
};
