// Helpers for the window tests: answering modal boxes from inside their modal loops.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace tessaly::ui::testing {

/// Runs an action on the next modal window of type T once it shows, from inside its modal loop.
template <typename T>
class ModalWatcher {
 public:
  explicit ModalWatcher(std::function<void(T&)> action) : action_(std::move(action)) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
  }

  /// Whether the action has run.
  bool Fired() const { return fired_; }

 private:
  void Poll() {
    auto* modal = qobject_cast<T*>(QApplication::activeModalWidget());
    if (modal == nullptr || !modal->isVisible()) return;
    timer_.stop();
    fired_ = true;
    action_(*modal);
  }

  std::function<void(T&)> action_;
  QTimer timer_;
  bool fired_ = false;
};

/// Answers every message box that shows with OK, from inside its modal loop, keeping
/// "caption: text" of each.
class MessageBoxCloser {
 public:
  MessageBoxCloser() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
  }

  /// "caption: text" of every box closed so far.
  QStringList seen;

 private:
  void Poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    seen.append(box->windowTitle() + QStringLiteral(": ") + box->text());
    box->done(QMessageBox::Ok);
  }

  QTimer timer_;
};

/// The interface as it is written, whatever the locale the tests run under.
inline void UseChinese() {
  qputenv("LANGUAGE", "zh_CN");
}

/// Selects the offscreen platform unless the caller chose one.
inline void UseOffscreenPlatform() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
}

}  // namespace tessaly::ui::testing
