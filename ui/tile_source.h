#pragma once
// Map tiles under the track: a memory cache, a disk cache under
// $XDG_CACHE_HOME/Pelmora/tiles/z/x/y.png and, when allowed, the tile server. Only tiles asked
// for (the visible ones) are fetched, two at a time, newest request first, each at most once a
// session; the server sees the program's own User-Agent.
//
// Thread contract: GUI thread only (the network replies arrive on it).
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

class QNetworkAccessManager;
class QNetworkReply;

namespace pelmora {

class ProfileStore;

struct TileSettings {
    bool enabled = true;  // false: no tiles at all, the graticule only
    bool fetch = true;    // false: disk cache only (the offscreen preview)
    QString urlTemplate;  // with {z}, {x} and {y}
    QString cacheDir;     // holds z/x/y.png
    QString userAgent;
};

inline constexpr const char* kDefaultTileUrl = "https://tile.openstreetmap.org/{z}/{x}/{y}.png";
inline constexpr const char* kTileAttribution = "\u00a9 OpenStreetMap contributors";
inline constexpr const char* kTileUrlVariable = "PELMORA_TILE_URL";

// The profile's "Setting" keys "MapTiles" (1 on, 0 off) and "TileServer" (a URL template), the
// environment's PELMORA_TILE_URL over both, the user's cache folder.
TileSettings LoadTileSettings(const ProfileStore& profile);
QString DefaultTileCacheDir();
QString TileUserAgent();

class TileSource : public QObject {
    Q_OBJECT

  public:
    static constexpr int kTileSize = 256;
    static constexpr int kMaxZoom = 19;

    explicit TileSource(TileSettings settings, QObject* parent = nullptr);
    ~TileSource() override;

    bool enabled() const { return m_settings.enabled; }
    // The tile if at hand; otherwise a null image, and a fetch is queued when allowed.
    QImage Tile(int z, int x, int y);
    // Forgets queued fetches of tiles no longer on screen; called before each repaint.
    void BeginFrame();
    int fetchedFromNetwork() const { return m_networkCount; }

  signals:
    void tileArrived();

  private:
    void Pump();
    void OnFinished(QNetworkReply* reply, const QString& key);
    QString CachePath(const QString& key) const;

    TileSettings m_settings;
    QNetworkAccessManager* m_network = nullptr;
    QHash<QString, QImage> m_memory;
    QSet<QString> m_asked;  // fetched or failed: not asked again this session
    QSet<QString> m_inFlight;
    QStringList m_queue;  // newest last
    int m_networkCount = 0;
};

}  // namespace pelmora
