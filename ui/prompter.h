#pragma once
// The validation prompts of the settings dialogs ("Enter an integer."), behind an interface so
// tests can answer them without a blocking message box.
#include <QString>

class QWidget;

namespace pelmora {

class Prompter {
  public:
    virtual ~Prompter() = default;
    virtual void Warn(QWidget* parent, const QString& text) = 0;
};

// A warning message box with the application's title.
class MessageBoxPrompter : public Prompter {
  public:
    void Warn(QWidget* parent, const QString& text) override;
};

}  // namespace pelmora
