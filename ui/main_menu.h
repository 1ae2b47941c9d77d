#pragma once
// The window's menu bar. Every entry that stands for a button clicks that button and follows its
// enabled state, so a command is reachable from the keyboard exactly when its button is.
#include <QObject>

class QAbstractButton;
class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace pelmora {

struct MainMenu {
    QMenuBar* bar = nullptr;
    QMenu* file = nullptr;
    QMenu* device = nullptr;
    QMenu* help = nullptr;  // the last menu: further menus go before it
    QAction* openTrace = nullptr;
    QAction* importLogs = nullptr;
    QAction* convert = nullptr;
    QAction* report = nullptr;
    QAction* quit = nullptr;
    QAction* port = nullptr;
    QAction* read = nullptr;
    QAction* stop = nullptr;
    QAction* clear = nullptr;
    QAction* configure = nullptr;
    QAction* setId = nullptr;
    QAction* about = nullptr;
};

MainMenu BuildMainMenu(QWidget* window);

// The action runs the button and is enabled exactly when the button is.
void BindToButton(QAction* action, QAbstractButton* button);
// The action is enabled exactly when the button is not (Port... while Stop is not).
void EnableUnlessButton(QAction* action, QAbstractButton* button);

}  // namespace pelmora
