#include "tests/support/TestSupport.h"

#include "platform/sys/Clock.h"
#include "schema/Schema.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QTest>

QString testTempDir()
{
    static QAtomicInt counter;
    QString base = qEnvironmentVariable("QOR_TEST_TMP");
    if (base.isEmpty()) base = QDir::tempPath() + QStringLiteral("/qortest");
    QString dir = QStringLiteral("%1/%2-%3-%4")
                      .arg(base, QCoreApplication::applicationName())
                      .arg(QCoreApplication::applicationPid())
                      .arg(counter.fetchAndAddRelaxed(1));
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    return dir;
}

std::unique_ptr<TADOConnection> makeTestDb(bool demo)
{
    auto c = TADOConnection::openSqlite(testTempDir() + QStringLiteral("/test.db"));
    Schema::createDatabase(*c, demo);
    return c;
}

QStringList queryRows(TADOConnection& c, const QString& tsql)
{
    TADOQuery q(&c);
    q.SQL << tsql;
    q.Open();
    QStringList rows;
    while (!q.Eof()) {
        QStringList cells;
        for (int i = 0; i < q.FieldCount(); ++i) cells << q.Field(i).AsString();
        rows << cells.join(QLatin1Char('\t'));
        q.Next();
    }
    return rows;
}


void enterAndLeave(QLineEdit* box, const QString& text)
{
    box->setFocus(Qt::TabFocusReason);
    box->setText(text);
    QTest::keyClick(box, Qt::Key_Tab);
}
