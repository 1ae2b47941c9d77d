#pragma once
// The about box: the program icon, its version text and OK. It exchanges no data.
#include <QDialog>
#include <memory>

namespace Ui {
class CAboutDlg;
}

namespace pelmora {

class CAboutDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;

  private:
    std::unique_ptr<Ui::CAboutDlg> m_ui;
};

}  // namespace pelmora
