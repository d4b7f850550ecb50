// Start-up: the application object runs the main window modally and returns once it closes.
#include <QCheckBox>
#include <QDir>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <initializer_list>
#include <memory>

#include "tests/ui-helpers.h"
#include "ui/converter_app.h"
#include "ui/main_dialog.h"

using tessaly::ui::ConverterApp;
using tessaly::ui::MainDialog;
using tessaly::ui::testing::ModalWatcher;

namespace {

// Where a settings store would write; set before the application object exists.
std::unique_ptr<QTemporaryDir> config_home;

// Restores environment variables when it goes out of scope.
class EnvironmentSet {
 public:
  explicit EnvironmentSet(std::initializer_list<const char*> names) {
    for (const char* name : names)
      saved_.append({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
  }
  ~EnvironmentSet() {
    for (const auto& [name, value, set] : saved_) {
      if (set) {
        qputenv(name, value);
      } else {
        qunsetenv(name);
      }
    }
  }
  EnvironmentSet(const EnvironmentSet&) = delete;
  EnvironmentSet& operator=(const EnvironmentSet&) = delete;

 private:
  struct Saved {
    const char* name;
    QByteArray value;
    bool set;
  };
  QList<Saved> saved_;
};

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
      auto* input = dialog.findChild<QPlainTextEdit*>(QStringLiteral("inputBox"));
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

  void canOpenDisplay_data() {
    QTest::addColumn<QByteArray>("display");
    QTest::addColumn<QByteArray>("wayland");
    QTest::addColumn<QByteArray>("platform");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("expected");
    const QStringList none{QStringLiteral("tessaly")};
    QTest::newRow("nothing") << QByteArray() << QByteArray() << QByteArray() << none << false;
    QTest::newRow("x11") << QByteArray(":0") << QByteArray() << QByteArray() << none << true;
    QTest::newRow("wayland") << QByteArray() << QByteArray("wayland-0") << QByteArray() << none
                             << true;
    QTest::newRow("platform variable")
        << QByteArray() << QByteArray() << QByteArray("offscreen") << none << true;
    QTest::newRow("platform option")
        << QByteArray() << QByteArray() << QByteArray()
        << QStringList{QStringLiteral("tessaly"), QStringLiteral("-platform"),
                       QStringLiteral("offscreen")}
        << true;
    QTest::newRow("other Qt option")
        << QByteArray() << QByteArray() << QByteArray()
        << QStringList{QStringLiteral("tessaly"), QStringLiteral("-reverse")} << false;
  }

  void canOpenDisplay() {
    QFETCH(QByteArray, display);
    QFETCH(QByteArray, wayland);
    QFETCH(QByteArray, platform);
    QFETCH(QStringList, arguments);
    QFETCH(bool, expected);
    const EnvironmentSet saved({"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"});
    // An empty value counts as unset, as it does for the X and Wayland client libraries.
    qputenv("DISPLAY", display);
    qputenv("WAYLAND_DISPLAY", wayland);
    qputenv("QT_QPA_PLATFORM", platform);
    QCOMPARE(ConverterApp::CanOpenDisplay(arguments), expected);
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
