#include "shotviewbudget.h"

#include <QtTest>

class tst_ShotViewBudget : public QObject
{
    Q_OBJECT

private slots:
    void fits_data();
    void fits();
    void budgetFollowsMemory_data();
    void budgetFollowsMemory();
};

void tst_ShotViewBudget::fits_data()
{
    const qint64 gib = qint64(1) << 30;
    QTest::addColumn<qint64>("records");
    QTest::addColumn<qint64>("budget");
    QTest::addColumn<bool>("fits");
    QTest::newRow("an ordinary shot on a small budget") << qint64(240) << 512 * (qint64(1) << 20) << true;
    QTest::newRow("a shot without records") << qint64(0) << 512 * (qint64(1) << 20) << true;
    QTest::newRow("50,000 picks on 6 GiB") << qint64(50000) << 6 * gib << true;
    QTest::newRow("two million picks on 6 GiB") << qint64(2000000) << 6 * gib << false;
    QTest::newRow("a zero-filled stretch of 50 million records") << qint64(50000000) << 64 * gib << false;
    // Past what one read buffer can hold, whatever the memory.
    QTest::newRow("30 million records on 1 TiB") << qint64(30000000) << 1024 * gib << false;
}

void tst_ShotViewBudget::fits()
{
    QFETCH(qint64, records);
    QFETCH(qint64, budget);
    QFETCH(bool, fits);
    QCOMPARE(ShotViewBudget::fits(records, budget), fits);
}

void tst_ShotViewBudget::budgetFollowsMemory_data()
{
    const qint64 mib = qint64(1) << 20;
    QTest::addColumn<qint64>("physical");
    QTest::addColumn<qint64>("budget");
    QTest::newRow("24 GiB machine") << 24 * 1024 * mib << 6 * 1024 * mib;
    QTest::newRow("1 GiB machine keeps the floor") << 1024 * mib << 512 * mib;
    QTest::newRow("unknown memory") << qint64(0) << 512 * mib;
}

void tst_ShotViewBudget::budgetFollowsMemory()
{
    QFETCH(qint64, physical);
    QFETCH(qint64, budget);
    QCOMPARE(ShotViewBudget::budgetBytes(physical), budget);
}

QTEST_GUILESS_MAIN(tst_ShotViewBudget)
#include "tst_shotviewbudget.moc"
