#pragma once
// How the window's panels speak through it: the status bar, the status log, message boxes, the
// progress bar, and the way into the GUI thread for their worker threads.
#include <QString>
#include <functional>

#include "ui/window_services.h"

namespace pelmora {

struct WindowVoice {
    std::function<void(const QString&)> status;
    std::function<void(const QString&)> line;
    std::function<void(const QString&, BoxIcon)> box;
    std::function<void(int)> progress;                // -1 hides the bar
    std::function<void(std::function<void()>)> post;  // into the GUI thread
};

}  // namespace pelmora
