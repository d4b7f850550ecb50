#pragma once

#include <QLabel>
#include <QPointer>

#include "engine/conversion.h"
#include "engine/encodings.h"
#include <tessaly/losses.h>

namespace tessaly::ui {

/// What a conversion lost, in one line for the window: each kind with its count; empty when
/// nothing was lost.
QString LossNoticeText(const LossReport& losses, Encoding encoding);

/// How many characters of each class the ticked deletion boxes took out of an input.
struct DeletionCounts {
  std::size_t line_breaks = 0;  ///< LF, CR LF and a lone CR each count once
  std::size_t commas = 0;
  std::size_t dots = 0;
  std::size_t spaces = 0;
  std::size_t tabs = 0;
};

/// What `options` delete from `text`, the box text a conversion reads.
DeletionCounts CountDeletions(QStringView text, const DeletionOptions& options);

/// What the deletions took, and how to keep it: "已删除 3 个换行、2 个逗号;取消勾选即可保留";
/// empty when they took nothing.
QString DeletionNoticeText(const DeletionCounts& counts);

/// A short notice laid over the bottom of a box, saying what the last conversion lost. It takes
/// no room in the layout and changes no text; the next conversion replaces or hides it.
class LossNotice : public QLabel {
  Q_OBJECT

 public:
  /// A notice over the bottom edge of `anchor`, a child of `parent`.
  LossNotice(QWidget* anchor, QWidget* parent);

  /// Shows what `losses` holds and what the deletions took, each on a line of its own, or hides
  /// the notice when there is nothing to say.
  void Show(const LossReport& losses, Encoding encoding, const DeletionCounts& deleted = {});

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Place();

  QPointer<QWidget> anchor_;
};

}  // namespace tessaly::ui
