#include "ui/status_log.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeySequence>
#include <QListWidget>
#include <QMenu>

namespace pelmora {

StatusLog::StatusLog(QListWidget* list, int maxLines, std::function<QString()> now)
    : QObject(list), m_list(list), m_maxLines(maxLines), m_now(std::move(now)) {
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this, &StatusLog::ShowMenu);
    // Ctrl+C works while the list has the focus, as in any list.
    auto* copy = new QAction(m_list);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &StatusLog::Copy);
    m_list->addAction(copy);
}

void StatusLog::Append(const QString& line) {
    auto* item = new QListWidgetItem(m_now() + QStringLiteral("  ") + line);
    item->setData(Qt::UserRole, line);
    m_list->addItem(item);
    while (m_list->count() > m_maxLines) {
        delete m_list->takeItem(0);
    }
    m_list->scrollToBottom();
}

void StatusLog::AppendBlock(const QStringList& block) {
    if (block == m_lastBlock) {
        return;
    }
    m_lastBlock = block;
    for (const QString& line : block) {
        Append(line);
    }
}

QStringList StatusLog::Lines() const {
    QStringList lines;
    for (int i = 0; i < m_list->count(); ++i) {
        lines << m_list->item(i)->data(Qt::UserRole).toString();
    }
    return lines;
}

QString StatusLog::CopyText() const {
    const bool selectedOnly = !m_list->selectedItems().isEmpty();
    QStringList lines;
    for (int i = 0; i < m_list->count(); ++i) {
        const QListWidgetItem* item = m_list->item(i);
        if (!selectedOnly || item->isSelected()) {
            lines << item->text();
        }
    }
    return lines.isEmpty() ? QString() : lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void StatusLog::Copy() const {
    QGuiApplication::clipboard()->setText(CopyText());
}

void StatusLog::Clear() {
    m_list->clear();
    // After a Clear the next status block is news again.
    m_lastBlock.clear();
}

void StatusLog::ShowMenu(const QPoint& pos) {
    QMenu menu(m_list);
    QAction* copy = menu.addAction(tr("&Copy"), this, &StatusLog::Copy);
    copy->setEnabled(m_list->count() > 0);
    QAction* clear = menu.addAction(tr("C&lear"), this, &StatusLog::Clear);
    clear->setEnabled(m_list->count() > 0);
    menu.exec(m_list->viewport()->mapToGlobal(pos));
}

}  // namespace pelmora
