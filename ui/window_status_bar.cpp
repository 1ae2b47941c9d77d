#include "ui/window_status_bar.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>

#include "core/profile_store.h"

namespace pelmora {
namespace {

constexpr const char* kWindowSection = "Window";
constexpr const char* kGeometryKey = "Geometry";

}  // namespace

WindowStatusBar::WindowStatusBar(QWidget* parent)
    : QStatusBar(parent),
      m_activity(new QLabel(this)),
      m_connection(new QLabel(this)),
      m_progress(new QProgressBar(this)) {
    setSizeGripEnabled(false);
    // Long status texts are cut rather than widening the window.
    for (QLabel* pane : {m_activity, m_connection}) {
        pane->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }
    m_connection->setObjectName(QStringLiteral("connectionState"));
    addWidget(m_activity, 1);
    m_progress->setObjectName(QStringLiteral("readProgressBar"));
    m_progress->setRange(0, 100);
    m_progress->setMaximumWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 24);
    m_progress->setToolTip(tr("Progress of the running read, decoding or conversion"));
    m_progress->hide();
    addPermanentWidget(m_progress);
    addPermanentWidget(m_connection);
}

void WindowStatusBar::SetActivity(const QString& text) {
    m_activity->setText(text);
}

QString WindowStatusBar::activity() const {
    return m_activity->text();
}

void WindowStatusBar::SetConnection(const QString& text) {
    m_connection->setText(text);
}

void WindowStatusBar::SetProgress(int position) {
    if (position < 0) {
        m_progress->hide();
        m_progress->setValue(0);
        return;
    }
    m_progress->setValue(position);
    m_progress->show();
}

void RestorePlacement(QWidget& window, ProfileStore& profile) {
    const QByteArray saved = QByteArray::fromBase64(
        QByteArray::fromStdString(profile.ProfileReadText(kWindowSection, kGeometryKey, "")));
    if (!saved.isEmpty() && window.restoreGeometry(saved)) {
        return;
    }
    // First run: the natural size, within the screen's free area.
    window.adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        window.resize(window.size().boundedTo(screen->availableGeometry().size()));
    }
}

void SavePlacement(const QWidget& window, ProfileStore& profile) {
    profile.ProfileWriteText(kWindowSection, kGeometryKey,
                             window.saveGeometry().toBase64().toStdString());
}

}  // namespace pelmora
