#include "ui/tile_source.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QStandardPaths>

#include "core/conversion_settings.h"
#include "core/profile_store.h"

#ifndef PELMORA_VERSION
#define PELMORA_VERSION "0"
#endif
#ifndef PELMORA_PROJECT_URL
#define PELMORA_PROJECT_URL ""
#endif

namespace pelmora {
namespace {

constexpr int kMaxInFlight = 2;       // the tile servers ask for few parallel connections
constexpr int kMaxMemoryTiles = 600;  // a few screens of 256-pixel tiles
constexpr qint64 kStaleSeconds = 7 * 24 * 3600;
constexpr qint64 kMaxTileBytes = 4 << 20;

}  // namespace

QString DefaultTileCacheDir() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/Pelmora/tiles");
}

QString TileUserAgent() {
    QString agent = QStringLiteral("Pelmora/") + QLatin1String(PELMORA_VERSION);
    const QString url = QLatin1String(PELMORA_PROJECT_URL);
    if (!url.isEmpty()) {
        agent += QStringLiteral(" (+") + url + QLatin1Char(')');
    }
    return agent;
}

TileSettings LoadTileSettings(const ProfileStore& profile) {
    TileSettings t;
    t.enabled = profile.ProfileReadInt(kSectionSetting, "MapTiles", 1) != 0;
    t.urlTemplate =
        QString::fromStdString(profile.ProfileReadText(kSectionSetting, "TileServer", ""));
    const QString env = qEnvironmentVariable(kTileUrlVariable);
    if (!env.isEmpty()) {
        t.urlTemplate = env;
    }
    if (t.urlTemplate.isEmpty()) {
        t.urlTemplate = QLatin1String(kDefaultTileUrl);
    }
    t.cacheDir = DefaultTileCacheDir();
    t.userAgent = TileUserAgent();
    return t;
}

TileSource::TileSource(TileSettings settings, QObject* parent)
    : QObject(parent), m_settings(std::move(settings)) {
    if (m_settings.enabled && m_settings.fetch) {
        m_network = new QNetworkAccessManager(this);
    }
}

TileSource::~TileSource() = default;

QString TileSource::CachePath(const QString& key) const {
    return m_settings.cacheDir + QLatin1Char('/') + key + QStringLiteral(".png");
}

QImage TileSource::Tile(int z, int x, int y) {
    if (!m_settings.enabled || z < 0 || z > kMaxZoom || x < 0 || y < 0 || x >= (1 << z) ||
        y >= (1 << z)) {
        return {};
    }
    const QString key = QStringLiteral("%1/%2/%3").arg(z).arg(x).arg(y);
    if (const auto it = m_memory.constFind(key); it != m_memory.constEnd()) {
        return *it;
    }
    QImage image;
    const QFileInfo cached(CachePath(key));
    bool stale = true;
    if (cached.exists() && image.load(cached.filePath(), "PNG")) {
        stale = cached.lastModified().secsTo(QDateTime::currentDateTime()) > kStaleSeconds;
        if (m_memory.size() >= kMaxMemoryTiles) {
            m_memory.clear();
        }
        m_memory.insert(key, image);
    }
    // A stale tile shows until its fresh copy arrives.
    if (stale && m_network != nullptr && !m_asked.contains(key) && !m_inFlight.contains(key)) {
        m_queue.removeAll(key);
        m_queue.append(key);
        Pump();
    }
    return image;
}

void TileSource::BeginFrame() {
    m_queue.clear();
}

void TileSource::Pump() {
    while (m_inFlight.size() < kMaxInFlight && !m_queue.isEmpty()) {
        const QString key = m_queue.takeLast();
        const QStringList zxy = key.split(QLatin1Char('/'));
        QString url = m_settings.urlTemplate;
        url.replace(QStringLiteral("{z}"), zxy[0]);
        url.replace(QStringLiteral("{x}"), zxy[1]);
        url.replace(QStringLiteral("{y}"), zxy[2]);
        QNetworkRequest request{QUrl(url)};
        request.setHeader(QNetworkRequest::UserAgentHeader, m_settings.userAgent);
        request.setTransferTimeout(15000);
        m_inFlight.insert(key);
        QNetworkReply* reply = m_network->get(request);
        connect(reply, &QNetworkReply::finished, this,
                [this, reply, key] { OnFinished(reply, key); });
        // A tile is tens of kilobytes: a server that sends megabytes is not sending one.
        connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
            if (received > kMaxTileBytes)
                reply->abort();
        });
    }
}

void TileSource::OnFinished(QNetworkReply* reply, const QString& key) {
    reply->deleteLater();
    m_inFlight.remove(key);
    const QByteArray bytes =
        reply->error() == QNetworkReply::NoError ? reply->read(kMaxTileBytes) : QByteArray();
    QImage image;
    m_asked.insert(key);
    if (!bytes.isEmpty() && image.loadFromData(bytes)) {
        ++m_networkCount;
        m_memory.insert(key, image);
        const QString path = CachePath(key);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(bytes);
            file.commit();
        }
        emit tileArrived();
    }
    Pump();
}

}  // namespace pelmora
