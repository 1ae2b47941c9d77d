// The window's frame around the form's controls: the status bar with its progress bar and the
// connection's state, and the place on the screen.
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

#include "core/app_paths.h"
#include "decode/trace_summary.h"
#include "link/port_list.h"
#include "ui/datalog_dlg.h"
#include "ui/window_texts.h"
#include "ui_datalog_dlg.h"

namespace pelmora {
namespace {

constexpr const char* kWindowSection = "Window";
constexpr const char* kGeometryKey = "Geometry";

}  // namespace

void CdatalogDlg::SetupFrame() {
    m_statusBar = new QStatusBar(this);
    m_statusBar->setSizeGripEnabled(false);
    m_pane0 = new QLabel(m_statusBar);
    m_pane1 = new QLabel(m_statusBar);
    // Long status texts are cut rather than widening the window.
    for (QLabel* pane : {m_pane0, m_pane1}) {
        pane->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }
    m_statusBar->addWidget(m_pane0, 1);
    m_statusBar->addPermanentWidget(m_pane1);
    // Read, decoding and conversion progress has a bar of its own: the form's bar keeps
    // showing the logger's memory use.
    m_readProgress = new QProgressBar(m_statusBar);
    m_readProgress->setObjectName(QStringLiteral("readProgressBar"));
    m_readProgress->setRange(0, 100);
    m_readProgress->setMaximumWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 24);
    m_readProgress->setToolTip(tr("Progress of the running read, decoding or conversion"));
    m_readProgress->hide();
    m_statusBar->addPermanentWidget(m_readProgress);
    static_cast<QGridLayout*>(layout())->addWidget(m_statusBar, 6, 0, 1, -1);

    // Labels whose texts change keep the window's width: they wrap or are cut, never widen it.
    for (QLabel* label : {m_ui->timeZoneText, m_ui->conversionText, m_ui->speedUnitText,
                          m_ui->stopPeriodText, m_ui->stopDistanceText, m_ui->overSpeedText}) {
        label->setWordWrap(true);
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }
    // Until a period is set the pickers show nothing rather than a made-up date.
    for (QDateEdit* picker : {m_ui->beginDate, m_ui->endDate}) {
        picker->setSpecialValueText(QStringLiteral(" "));
        picker->setDate(picker->minimumDate());
    }
    const int timeWidth = fontMetrics().horizontalAdvance(QStringLiteral("8888/88/88 88:88:88 "));
    for (QLabel* label : {m_ui->beginExact, m_ui->endExact, m_ui->beginLabel, m_ui->endLabel}) {
        label->setMinimumWidth(timeWidth);
    }
}

void CdatalogDlg::SetReadProgress(int position) {
    if (position < 0) {
        m_readProgress->hide();
        m_readProgress->setValue(0);
        return;
    }
    m_readProgress->setValue(position);
    m_readProgress->show();
}

void CdatalogDlg::RestorePlacement() {
    const QByteArray saved = QByteArray::fromBase64(QByteArray::fromStdString(
        m_config.profile->ProfileReadText(kWindowSection, kGeometryKey, "")));
    if (!saved.isEmpty() && restoreGeometry(saved)) {
        return;
    }
    // First run: the natural size, within the screen's free area.
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize room = screen->availableGeometry().size();
        resize(size().boundedTo(room));
    }
}

void CdatalogDlg::SavePlacement() {
    if (m_config.profile == nullptr) {
        return;
    }
    m_config.profile->ProfileWriteText(kWindowSection, kGeometryKey,
                                       saveGeometry().toBase64().toStdString());
}

}  // namespace pelmora
