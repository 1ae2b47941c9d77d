#include "ui/prompter.h"

#include <QMessageBox>

namespace pelmora {

void MessageBoxPrompter::Warn(QWidget* parent, const QString& text) {
    // The data-exchange prompts carry the application's title, not the window's caption.
    QMessageBox::warning(parent, QStringLiteral("pelmora"), text);
}

}  // namespace pelmora
