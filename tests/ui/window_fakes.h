#pragma once
// Answers for the window's desktop seams, scripted by each test.
#include <QString>
#include <QStringList>
#include <QWidget>
#include <QtGlobal>
#include <atomic>
#include <cerrno>
#include <deque>
#include <functional>
#include <thread>

#include "link/device_session.h"
#include "ui/window_services.h"

namespace pelmora::test {

// The window's control of that object name; the test stops when the form has none.
template <class T>
T* Child(QWidget& w, const char* name) {
    T* child = w.findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) {
        qFatal("no control %s", name);
    }
    return child;
}

struct ShownBox {
    QString caption;
    QString text;
    BoxIcon icon = BoxIcon::None;
    QString kind;  // "ok", "yesno", "okcancel"
};

class FakeBoxes : public MessageBoxes {
  public:
    void Show(QWidget*, const QString& caption, const QString& text, BoxIcon icon) override {
        shown.push_back({caption, text, icon, QStringLiteral("ok")});
    }
    bool AskYesNo(QWidget*, const QString& caption, const QString& text) override {
        shown.push_back({caption, text, BoxIcon::None, QStringLiteral("yesno")});
        return yes;
    }
    bool AskYesNoDefaultNo(QWidget* parent, const QString& caption, const QString& text) override {
        return AskYesNo(parent, caption, text);
    }
    bool AskOkCancel(QWidget*, const QString& caption, const QString& text) override {
        shown.push_back({caption, text, BoxIcon::None, QStringLiteral("okcancel")});
        return ok;
    }
    bool OfferCopy(QWidget*, const QString& caption, const QString& text) override {
        shown.push_back({caption, text, BoxIcon::Information, QStringLiteral("copy")});
        return copy;
    }
    QStringList Texts() const {
        QStringList texts;
        for (const ShownBox& b : shown) {
            texts << b.text;
        }
        return texts;
    }
    bool Has(const QString& text) const { return Texts().contains(text); }
    const ShownBox* Find(const QString& text) const {
        for (const ShownBox& b : shown) {
            if (b.text == text) {
                return &b;
            }
        }
        return nullptr;
    }

    std::vector<ShownBox> shown;
    bool yes = true;
    bool ok = true;
    bool copy = false;
};

class FakeSaveFile : public SaveFileChooser {
  public:
    QString ChooseSaveFile(QWidget*, const QString& dir, const QStringList& f) override {
        folder = dir;
        filters = f;
        if (answers.empty()) {
            return {};
        }
        QString path = answers.front();
        answers.pop_front();
        return path;
    }
    QString ChooseOpenFile(QWidget*, const QString& dir, const QStringList& f) override {
        return ChooseSaveFile(nullptr, dir, f);
    }
    std::deque<QString> answers;
    QStringList filters;
    QString folder;
};

class FakeFolders : public FolderOpener {
  public:
    bool OpenFolder(const QString& folder) override {
        opened << folder;
        return opens;
    }
    QStringList opened;
    bool opens = true;
};

class FakePorts : public PortChooser {
  public:
    PortChoice ChoosePort(QWidget*) override {
        ++asked;
        if (answers.empty()) {
            return {};
        }
        PortChoice c = answers.front();
        answers.pop_front();
        return c;
    }
    std::deque<PortChoice> answers;
    int asked = 0;
};

class FakeSettingsEditor : public SettingsEditor {
  public:
    bool EditSettings(QWidget*) override {
        ++shown;
        if (onOk) {
            onOk();
        }
        return answer;
    }
    std::function<void()> onOk;
    bool answer = true;
    int shown = 0;
};

class FixedClock : public Clock {
  public:
    TimeValue Now() const override { return now; }
    TimeValue now = MakeTimeValue(2026, 12, 1, 0, 0, 0);
};

struct FakeServices {
    FakeBoxes boxes;
    FakeSaveFile saveFile;
    FakeFolders folders;
    FakePorts ports;
    FakeSettingsEditor settings;
    FixedClock clock;
    WindowServices Get() { return {&boxes, &saveFile, &folders, &ports, &settings, &clock}; }
};

// Opens no port, unless a test lets it (then it answers NMEA once nmea is set). Its commands
// answer `answer`.
class NoDevice : public DeviceSession {
  public:
    void SetListener(LinkListener* l) override { listener = l; }
    LinkError Open(const std::string& path, int) override {
        open = opens && path != missing;
        return open ? LinkError{} : OpenError(path, ENOENT);
    }
    void Close() override { open = false; }
    bool IsOpen() const override { return open; }
    bool HungUp() const override { return false; }
    void ResetBuffers() override {}
    bool StartReader() override { return false; }
    bool StopReader() override { return true; }
    bool LinkAlive() const override { return open && nmea; }
    int LineKind() const override { return nmea ? kLineKindNmea : kLineKindNone; }
    RateSearchResult FindLoggerRate(int, bool) override {
        // Waits for the test to let NMEA arrive, as a logger found at another rate would.
        for (int i = 0; i < 500 && !nmea; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return {};
    }
    void RecordLink(const std::string&, int) override {}
    CommandResult QueryDeviceId(std::string&) override {
        return open ? CommandResult::Done : CommandResult::NotConnected;
    }
    CommandResult QueryLogStatus(LogStatus&) override { return answer; }
    CommandResult ClearLog() override { return answer; }
    UndownloadedCheck CheckUndownloaded(const std::string&) override { return {answer, false, {}}; }
    CommandResult ConfigureLog(const RecordOptionsCommand&) override { return answer; }
    CommandResult WriteDeviceId(const std::string&) override { return answer; }
    DownloadResult ReadLog(const DownloadRequest&, DownloadObserver&,
                           const std::atomic<bool>&) override {
        DownloadResult r;
        r.outcome = DownloadOutcome::StatusFailed;
        r.status = answer;
        return r;
    }
    void CancelWait() override {}
    bool opens = false;
    std::string missing;  // a path that never opens
    std::atomic<bool> open{false};
    std::atomic<bool> nmea{false};
    std::atomic<CommandResult> answer{CommandResult::NoAnswer};
    LinkListener* listener = nullptr;
};

}  // namespace pelmora::test
