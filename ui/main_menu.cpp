#include "ui/main_menu.h"

#include <QAbstractButton>
#include <QAction>
#include <QEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

namespace pelmora {
namespace {

// Copies a button's enabled state to its action whenever the button's changes.
class EnabledFollower : public QObject {
  public:
    EnabledFollower(QAction* action, QAbstractButton* button, bool inverse)
        : QObject(action), m_action(action), m_button(button), m_inverse(inverse) {
        button->installEventFilter(this);
        m_action->setEnabled(button->isEnabled() != m_inverse);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_button && event->type() == QEvent::EnabledChange) {
            m_action->setEnabled(m_button->isEnabled() != m_inverse);
        }
        return false;
    }

  private:
    QAction* m_action;
    QAbstractButton* m_button;
    bool m_inverse;
};

}  // namespace

MainMenu BuildMainMenu(QWidget* window) {
    MainMenu m;
    m.bar = new QMenuBar(window);
    m.file = m.bar->addMenu(QObject::tr("&File"));
    m.openTrace = m.file->addAction(QObject::tr("&Open trace..."));
    m.openTrace->setShortcut(QKeySequence::Open);
    m.importLogs = m.file->addAction(QObject::tr("&Import logs..."));
    m.convert = m.file->addAction(QObject::tr("&Convert..."));
    m.report = m.file->addAction(QObject::tr("&Report"));
    m.file->addSeparator();
    m.quit = m.file->addAction(QObject::tr("&Quit"));
    m.quit->setShortcut(QKeySequence(QObject::tr("Ctrl+Q")));
    m.quit->setMenuRole(QAction::QuitRole);

    m.device = m.bar->addMenu(QObject::tr("&Device"));
    m.port = m.device->addAction(QObject::tr("&Port..."));
    m.device->addSeparator();
    m.read = m.device->addAction(QObject::tr("&Read"));
    m.stop = m.device->addAction(QObject::tr("S&top"));
    m.clear = m.device->addAction(QObject::tr("C&lear"));
    m.device->addSeparator();
    m.configure = m.device->addAction(QObject::tr("Con&figure"));
    m.setId = m.device->addAction(QObject::tr("Set &ID"));

    m.help = m.bar->addMenu(QObject::tr("&Help"));
    m.about = m.help->addAction(QString());
    m.about->setMenuRole(QAction::AboutRole);
    return m;
}

void BindToButton(QAction* action, QAbstractButton* button) {
    new EnabledFollower(action, button, false);
    QObject::connect(action, &QAction::triggered, button, &QAbstractButton::click);
}

void EnableUnlessButton(QAction* action, QAbstractButton* button) {
    new EnabledFollower(action, button, true);
}

}  // namespace pelmora
