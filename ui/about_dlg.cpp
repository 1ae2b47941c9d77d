#include "ui/about_dlg.h"

#include <QIcon>

#include "ui_about_dlg.h"

namespace pelmora {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::CAboutDlg>()) {
    m_ui->setupUi(this);
    m_ui->iconLabel->setPixmap(QIcon(QStringLiteral(":/pelmora/pelmora.png")).pixmap(48, 48));
}

CAboutDlg::~CAboutDlg() = default;

}  // namespace pelmora
