// The workers' calls into the GUI thread: run there, in order, and dropped with the queue.
#include <QEventLoop>
#include <QThread>
#include <QtTest>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "ui/gui_call_queue.h"

namespace pelmora::test {

class GuiCallQueueTest : public QObject {
    Q_OBJECT

  private slots:
    void callsFromTwoThreadsRunOnTheGuiThreadInOrder() {
        GuiCallQueue queue;
        QThread* gui = QThread::currentThread();
        constexpr int kEach = 300;
        // Touched on the GUI thread only; each call carries a heap string built on its worker.
        std::vector<int> seen[2];
        int offThread = 0;
        auto post = [&](int worker) {
            for (int i = 0; i < kEach; ++i) {
                auto text = std::make_shared<QString>(QString::number(i));
                queue.Post([&, worker, text] {
                    if (QThread::currentThread() != gui) {
                        ++offThread;
                    }
                    seen[worker].push_back(text->toInt());
                });
            }
        };
        std::thread a(post, 0);
        std::thread b(post, 1);
        a.join();
        b.join();
        QTRY_COMPARE(seen[0].size() + seen[1].size(), std::size_t{2 * kEach});
        QCOMPARE(offThread, 0);
        for (const std::vector<int>& s : seen) {
            for (int i = 0; i < kEach; ++i) {
                QCOMPARE(s[static_cast<std::size_t>(i)], i);
            }
        }
    }

    void aModalLoopLetsTheLaterCallsRun() {
        GuiCallQueue queue;
        QStringList order;
        queue.Post([&] {
            order << QStringLiteral("box");
            // A modal box's loop: the calls after this one run while it is open.
            QEventLoop loop;
            queue.Post([&] { loop.quit(); });
            loop.exec();
            order << QStringLiteral("box closed");
        });
        queue.Post([&] { order << QStringLiteral("progress"); });
        QTRY_COMPARE(order.size(), 3);
        QCOMPARE(order, QStringList({"box", "progress", "box closed"}));
    }

    void callsNotYetRunAreDroppedWithTheQueue() {
        auto token = std::make_shared<int>(0);
        bool ran = false;
        {
            GuiCallQueue queue;
            std::thread worker([&] { queue.Post([&ran, token] { ran = true; }); });
            worker.join();
        }
        QCoreApplication::processEvents();
        QVERIFY(!ran);
        QCOMPARE(token.use_count(), 1L);
    }
};

}  // namespace pelmora::test

QTEST_MAIN(pelmora::test::GuiCallQueueTest)
#include "gui_call_queue_test.moc"
