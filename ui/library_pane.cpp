#include "ui/library_pane.h"

#include <unistd.h>

#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <ctime>

#include "core/app_paths.h"
#include "library/download_archive.h"
#include "library/season_library.h"
#include "ui/gui_call_queue.h"

namespace pelmora {
namespace {

constexpr int kKindRole = Qt::UserRole;
constexpr int kIndexRole = Qt::UserRole + 1;
constexpr int kDayItem = 1;
constexpr int kTripItem = 2;

QString Clock(const ZoneRules& zone, TimeValue utc, const char* pattern) {
    return QString::fromStdString(FormatTime(zone.ToLocal(utc), pattern));
}

QStringList Columns(const FixRun& run, const ZoneRules& zone, const QString& first) {
    const TimeSpan s = run.Duration();
    return {first,
            Clock(zone, run.beginUtc, "%H:%M"),
            Clock(zone, run.endUtc, "%H:%M"),
            QStringLiteral("%1:%2").arg(s / 3600).arg(s % 3600 / 60, 2, 10, QLatin1Char('0')),
            QString::number(run.metres / 1000, 'f', 1),
            QString::number(run.maxSpeedKmh)};
}

}  // namespace

LibraryPane::LibraryPane(QWidget* parent) : QWidget(parent) {
    m_guiCalls = new GuiCallQueue(this);
    m_tree = new QTreeWidget(this);
    m_tree->setHeaderLabels(
        {tr("Day / trip"), tr("Begin"), tr("End"), tr("Duration"), tr("km"), tr("Max km/h")});
    m_tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_date = new QDateEdit(this);
    m_date->setCalendarPopup(true);
    m_date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    auto* find = new QPushButton(tr("Find day"), this);
    m_state = new QLabel(this);
    auto* search = new QHBoxLayout;
    search->addWidget(m_date, 1);
    search->addWidget(find);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(search);
    layout->addWidget(m_tree, 1);
    layout->addWidget(m_state);
    connect(find, &QPushButton::clicked, this, [this] {
        const QDate d = m_date->date();
        if (!FindDay(d.year(), d.month(), d.day())) {
            m_state->setText(tr("No fixes on %1").arg(d.toString(Qt::ISODate)));
        }
    });
    connect(m_tree, &QTreeWidget::itemSelectionChanged, this, &LibraryPane::OnSelection);
}

LibraryPane::~LibraryPane() {
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

void LibraryPane::Run(std::function<void()> job) {
    if (m_worker.joinable()) {
        m_worker.join();  // the jobs are short: a fill, a cut, an import
    }
    m_idle.store(false);
    m_worker = std::thread([this, job = std::move(job)] {
        job();
        m_idle.store(true);
    });
}

void LibraryPane::Fill(const std::string& dataFolder, const ZoneRules& zone, TripGaps gaps) {
    m_folder = dataFolder;
    m_zone = zone;
    m_gaps = gaps;
    m_state->setText(tr("Reading the library..."));
    Run([this, dataFolder, zone, gaps] {
        std::string error;
        auto library = SeasonLibrary::Open(dataFolder, error);
        if (!library) {
            m_guiCalls->Post([this, error] {
                m_state->setText(QString::fromStdString(error));
                emit failed(QString::fromStdString(error));
            });
            return;
        }
        std::vector<FixRun> days = library->Days(zone);
        std::vector<FixRun> trips = library->Trips(gaps);
        m_guiCalls->Post([this, days = std::move(days), trips = std::move(trips)]() mutable {
            OnFilled(std::move(days), std::move(trips));
        });
    });
}

void LibraryPane::Import(std::vector<std::string> paths) {
    m_state->setText(tr("Importing..."));
    Run([this, folder = m_folder, zone = m_zone, gaps = m_gaps, paths = std::move(paths)] {
        std::string error;
        auto library = SeasonLibrary::Open(folder, error);
        QStringList lines;
        for (const std::string& path : paths) {
            // Archived first, as pelmora-cli import does: a rebuild brings it back.
            const ArchiveResult archived =
                library ? ArchiveLogFile(folder, path, std::time(nullptr), error) : ArchiveResult{};
            ImportOptions options;
            options.source = path;
            options.archiveName = archived.name;
            const ImportResult r =
                archived.ok ? library->ImportLog(path, options) : ImportResult{false, error};
            lines << (r.ok ? tr("%1: %2 fixes added").arg(QString::fromStdString(path)).arg(r.added)
                           : QString::fromStdString(r.error));
        }
        std::vector<FixRun> days = library ? library->Days(zone) : std::vector<FixRun>{};
        std::vector<FixRun> trips = library ? library->Trips(gaps) : std::vector<FixRun>{};
        m_guiCalls->Post([this, lines, days = std::move(days), trips = std::move(trips)]() mutable {
            OnFilled(std::move(days), std::move(trips));
            emit imported(lines.join(QLatin1Char('\n')));
        });
    });
}

void LibraryPane::OnFilled(std::vector<FixRun> days, std::vector<FixRun> trips) {
    m_days = std::move(days);
    m_trips = std::move(trips);
    const QSignalBlocker quiet(m_tree);
    m_tree->clear();
    std::size_t trip = 0;
    for (std::size_t d = 0; d < m_days.size(); ++d) {
        const FixRun& day = m_days[d];
        auto* item = new QTreeWidgetItem(
            m_tree, Columns(day, m_zone, Clock(m_zone, day.beginUtc, "%Y-%m-%d %a")));
        item->setData(0, kKindRole, kDayItem);
        item->setData(0, kIndexRole, static_cast<qulonglong>(d));
        // A trip belongs to the day it begins on.
        const std::int64_t local = LocalDay(m_zone, day.beginUtc);
        while (trip < m_trips.size() && LocalDay(m_zone, m_trips[trip].beginUtc) <= local) {
            auto* child = new QTreeWidgetItem(
                item, Columns(m_trips[trip], m_zone, tr("Trip %1").arg(trip + 1)));
            child->setData(0, kKindRole, kTripItem);
            child->setData(0, kIndexRole, static_cast<qulonglong>(trip));
            ++trip;
        }
    }
    m_state->setText(tr("%1 days, %2 trips").arg(m_days.size()).arg(m_trips.size()));
    emit filled(static_cast<int>(m_days.size()), static_cast<int>(m_trips.size()));
}

bool LibraryPane::FindDay(int year, int month, int day) {
    const std::int64_t wanted = MakeTimeValue(year, month, day, 0, 0, 0) / 86400;
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = m_tree->topLevelItem(i);
        const auto d = item->data(0, kIndexRole).toULongLong();
        if (LocalDay(m_zone, m_days[d].beginUtc) == wanted) {
            m_tree->clearSelection();
            item->setSelected(true);
            m_tree->scrollToItem(item);
            return true;
        }
    }
    return false;
}

// The selection's span (from its first fix to its last) is cut from the library on the worker.
void LibraryPane::OnSelection() {
    const QList<QTreeWidgetItem*> items = m_tree->selectedItems();
    if (items.isEmpty()) {
        return;
    }
    FixRun span;
    bool first = true;
    for (const QTreeWidgetItem* item : items) {
        const auto index = item->data(0, kIndexRole).toULongLong();
        const FixRun& run =
            item->data(0, kKindRole).toInt() == kDayItem ? m_days[index] : m_trips[index];
        if (first) {
            span = run;
            first = false;
            continue;
        }
        const std::uint64_t end = std::max(span.firstFix + span.fixes, run.firstFix + run.fixes);
        span.firstFix = std::min(span.firstFix, run.firstFix);
        span.fixes = end - span.firstFix;
        span.beginUtc = std::min(span.beginUtc, run.beginUtc);
        span.endUtc = std::max(span.endUtc, run.endUtc);
    }
    const std::string trace =
        JoinPath(JoinPath(m_folder, kLibraryFolderName), "window-" + std::to_string(::getpid()));
    Run([this, span, trace, folder = m_folder] {
        std::string error;
        auto library = SeasonLibrary::Open(folder, error);
        const bool ok = library && EnsureFolder(trace) &&
                        library->WriteTrace(span, JoinPath(trace, kTraceLogName), error);
        m_guiCalls->Post([this, ok, error, trace, span] {
            if (ok) {
                emit traceReady(QString::fromStdString(trace), span.beginUtc, span.endUtc);
            } else {
                emit failed(QString::fromStdString(error));
            }
        });
    });
}

}  // namespace pelmora
