// The about box and the window menu entry that opens it.
#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QSignalSpy>
#include <QtTest>

#include "core/profile_store.h"
#include "tests/ui/window_fakes.h"
#include "ui/about_dlg.h"
#include "ui/datalog_dlg.h"

namespace pelmora::test {

class AboutTest : public QObject {
    Q_OBJECT

  private slots:
    void aboutBoxShowsTheVersion() {
        CAboutDlg about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About DataLog"));
        QLabel* version = about.findChild<QLabel*>(QStringLiteral("versionLabel"));
        QVERIFY(version != nullptr);
        QCOMPARE(version->text(), QStringLiteral("Data Logger Version 1.0"));
        QLabel* icon = about.findChild<QLabel*>(QStringLiteral("iconLabel"));
        QVERIFY(icon != nullptr);
        QVERIFY(!icon->pixmap().isNull());
    }

    void windowMenuAsksForTheAboutBox() {
        MemoryProfileStore profile;
        NoDevice device;
        FakeServices services;
        CdatalogDlg::Config config;
        config.profile = &profile;
        config.device = &device;
        config.services = services.Get();
        CdatalogDlg dlg(std::move(config));
        QSignalSpy asked(&dlg, &CdatalogDlg::aboutRequested);
        QAction* about = nullptr;
        for (QAction* a : dlg.findChildren<QAction*>()) {
            if (a->text() == QStringLiteral("About pelmora")) {
                about = a;
            }
        }
        QVERIFY(about != nullptr);
        about->trigger();
        QCOMPARE(asked.count(), 1);
        QVERIFY(!dlg.windowIcon().isNull());
    }
};

}  // namespace pelmora::test

QTEST_MAIN(pelmora::test::AboutTest)
#include "about_test.moc"
