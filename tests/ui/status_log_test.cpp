// The status log: times before lines, a repeated status block left out, Copy and Clear.
#include <QListWidget>
#include <QtTest>

#include "ui/status_log.h"

namespace pelmora::test {

class StatusLogTest : public QObject {
    Q_OBJECT

  private slots:
    void timesRepeatsCopyAndClear() {
        QListWidget list;
        StatusLog log(&list, 5, [] { return QStringLiteral("12:00:01"); });
        const QStringList block = {"-- Status --", "Sector left: 5 / 200"};
        log.AppendBlock(block);
        log.AppendBlock(block);  // the poll found nothing new
        log.Append("read successful...");
        log.AppendBlock(block);  // still nothing new, though other lines came between
        log.AppendBlock({"-- Status --", "Sector left: 4 / 200"});
        QCOMPARE(log.Lines(),
                 QStringList({"-- Status --", "Sector left: 5 / 200", "read successful...",
                              "-- Status --", "Sector left: 4 / 200"}));
        QCOMPARE(list.item(2)->text(), QStringLiteral("12:00:01  read successful..."));

        log.Append("one more");  // the oldest line goes
        QCOMPARE(list.count(), 5);
        list.item(1)->setSelected(true);
        QCOMPARE(log.CopyText(), QStringLiteral("12:00:01  read successful...\n"));
        list.clearSelection();
        QVERIFY(log.CopyText().startsWith("12:00:01  Sector left: 5 / 200\n12:00:01  read"));

        log.Clear();
        QVERIFY(log.Lines().isEmpty());
        log.AppendBlock({"-- Status --", "Sector left: 4 / 200"});  // news again after Clear
        QCOMPARE(list.count(), 2);
    }
};

}  // namespace pelmora::test

QTEST_MAIN(pelmora::test::StatusLogTest)
#include "status_log_test.moc"
