#pragma once

#include <QPlainTextEdit>

namespace tessaly::gui {

/// A dialog's multi-line box: Tab moves the focus, Enter goes to the dialog, Ctrl+Enter breaks
/// the line; lines wrap at the box's width, at any character.
class DialogTextEdit : public QPlainTextEdit {
  Q_OBJECT

 public:
  /// An empty box.
  explicit DialogTextEdit(QWidget* parent = nullptr);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void insertFromMimeData(const QMimeData* source) override;

 private:
  void KeepLayouts(int position, int added);
};

}  // namespace tessaly::gui
