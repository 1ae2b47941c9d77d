#pragma once
// The main window's status bar: what is going on (left), the progress of a Read, decoding or
// conversion (a bar of its own: the form's bar keeps showing the logger's memory use), and the
// connection's state (right). And the window's place on the screen, kept in the profile.
#include <QStatusBar>

class QLabel;
class QProgressBar;

namespace pelmora {

class ProfileStore;

class WindowStatusBar : public QStatusBar {
  public:
    explicit WindowStatusBar(QWidget* parent);

    void SetActivity(const QString& text);
    QString activity() const;
    void SetConnection(const QString& text);
    // -1 hides the bar.
    void SetProgress(int position);

  private:
    QLabel* m_activity;
    QLabel* m_connection;
    QProgressBar* m_progress;
};

// The window's size and place from the profile's section "Window", or its natural size within
// the screen on the first run.
void RestorePlacement(QWidget& window, ProfileStore& profile);
void SavePlacement(const QWidget& window, ProfileStore& profile);

}  // namespace pelmora
