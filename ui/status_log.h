#pragma once
// The window's status log: each line carries the wall-clock time it was added, a repeated
// log-status block is left out, and the context menu copies or clears the lines.
// GUI thread only.
#include <QObject>
#include <QStringList>
#include <functional>

class QListWidget;
class QPoint;

namespace pelmora {

class StatusLog : public QObject {
    Q_OBJECT

  public:
    // maxLines: the newest lines kept. now: the time text put before each line ("14:03:27").
    StatusLog(QListWidget* list, int maxLines, std::function<QString()> now);

    void Append(const QString& line);
    // Appends the block unless it equals the last one appended (a poll that found no change).
    void AppendBlock(const QStringList& block);
    // The lines as added, without their times.
    QStringList Lines() const;
    // The selected lines as shown (with their times), or all of them when none is selected.
    QString CopyText() const;
    void Copy() const;
    void Clear();

  private:
    void ShowMenu(const QPoint& pos);

    QListWidget* m_list;
    int m_maxLines;
    std::function<QString()> m_now;
    QStringList m_lastBlock;
};

}  // namespace pelmora
