// Start-up: the application object runs the main window modally and returns once it closes.
#include <QCheckBox>
#include <QDir>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "tests/ui-helpers.h"
#include "ui/converter_app.h"
#include "ui/dialog_text_edit.h"
#include "ui/main_dialog.h"

using tessaly::ui::ConverterApp;
using tessaly::ui::MainDialog;
using tessaly::ui::testing::ModalWatcher;

namespace {

// Where a settings store would write; set before the application object exists.
std::unique_ptr<QTemporaryDir> config_home;

void Answer(QMessageBox::StandardButton answer, QWidget& window) {
  ModalWatcher<QMessageBox> watcher([answer](QMessageBox& box) { box.button(answer)->click(); });
  QTest::keyClick(&window, Qt::Key_Escape);
}

}  // namespace

class ConverterAppTest : public QObject {
  Q_OBJECT

 private slots:
  void loadsQtsChineseTranslation() {
    QVERIFY(qobject_cast<ConverterApp*>(qApp)->HasQtTranslation());
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
  }

  void runEndsOnlyAfterYes() {
    bool initial_state = false;
    bool open_after_no = false;
    ModalWatcher<MainDialog> watcher([&](MainDialog& dialog) {
      auto* input = dialog.findChild<tessaly::ui::DialogTextEdit*>(QStringLiteral("inputBox"));
      initial_state = input->toPlainText().isEmpty() &&
                      dialog.findChild<QCheckBox*>(QStringLiteral("deleteSpaces"))->isChecked();
      Answer(QMessageBox::No, dialog);
      open_after_no = dialog.isVisible();
      Answer(QMessageBox::Yes, dialog);
    });
    QCOMPARE(qobject_cast<ConverterApp*>(qApp)->Run(), 0);
    QVERIFY(watcher.Fired());
    QVERIFY(initial_state);
    QVERIFY(open_after_no);
    QCOMPARE(QApplication::topLevelWidgets().size(), 0);
  }

  void writesNoSettings() {
    QVERIFY(config_home->isValid());
    QCOMPARE(QDir(config_home->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{});
  }
};

int main(int argc, char** argv) {
  tessaly::ui::testing::UseOffscreenPlatform();
  config_home = std::make_unique<QTemporaryDir>();
  qputenv("XDG_CONFIG_HOME", config_home->path().toLocal8Bit());
  int status = 0;
  {
    ConverterApp app(argc, argv);
    ConverterAppTest test;
    status = QTest::qExec(&test, argc, argv);
  }
  config_home.reset();
  return status;
}

#include "converter-app-test.moc"
