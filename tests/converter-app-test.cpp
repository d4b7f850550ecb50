// Start-up: the application object runs the main window modally and returns once it closes.
#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <initializer_list>
#include <memory>

#include "tests/ui-helpers.h"
#include "ui/box_text.h"
#include "ui/qt_text.h"
#include "ui/converter_app.h"
#include "ui/dialog_text_edit.h"
#include "ui/main_dialog.h"
#include "ui/mode_faces.h"

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

  void languageFollowsTheLocale_data() {
    QTest::addColumn<QStringList>("languages");
    QTest::addColumn<QString>("chosen");
    QTest::newRow("en_US") << QStringList{"en-US"} << "en_US";
    QTest::newRow("en_GB") << QStringList{"en-GB", "en"} << "en_GB";
    QTest::newRow("zh_CN") << QStringList{"zh-CN"} << "zh_CN";
    QTest::newRow("zh_TW") << QStringList{"zh-TW"} << "zh_CN";
    QTest::newRow("Chinese before English") << QStringList{"zh-CN", "en-US"} << "zh_CN";
    QTest::newRow("French, then English") << QStringList{"fr-FR", "en-US"} << "en_US";
    QTest::newRow("French only: as written") << QStringList{"fr-FR"} << "zh_CN";
    QTest::newRow("C") << QStringList{"C"} << "zh_CN";
    QTest::newRow("nothing") << QStringList{} << "zh_CN";
  }

  // English where the user prefers it; anything else leaves every text as it is written, down
  // to the bytes, and Qt's buttons Chinese.
  void languageFollowsTheLocale() {
    QFETCH(QStringList, languages);
    QFETCH(QString, chosen);
    auto* app = qobject_cast<ConverterApp*>(qApp);
    QCOMPARE(app->UseLanguages(languages), chosen);
    const bool english = chosen.startsWith(QLatin1String("en"));
    {
      MainDialog dialog;
      const auto text = [&](const char* name) {
        return dialog.findChild<QAbstractButton*>(QString::fromLatin1(name))->text();
      };
      dialog.findChild<QAbstractButton*>(QStringLiteral("modeHexEncode"))->click();
      const QString help =
          dialog.findChild<tessaly::ui::DialogTextEdit*>(QStringLiteral("outputBox"))
              ->toPlainText();
      if (english) {
        QVERIFY(dialog.windowTitle().endsWith(QLatin1String(" version 1.2")));
        QCOMPARE(text("convertButton"), QStringLiteral("Convert"));
        QCOMPARE(text("modeHexEncode"), QStringLiteral("Text to hex"));
        QCOMPARE(text("deleteSpaces"), QStringLiteral("No spaces"));
        QCOMPARE(help, QStringLiteral("Example:\n12345 = 31 32 33 34 35 \n你好 = C4 E3 BA C3 "));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
        QVERIFY(!app->HasQtTranslation());
      } else {
        QVERIFY(dialog.windowTitle().endsWith(QStringLiteral(" 版本1.2")));
        QCOMPARE(text("convertButton").toUtf8(), QStringLiteral("转换").toUtf8());
        QCOMPARE(text("modeHexEncode").toUtf8(), QStringLiteral("字符串转16进制").toUtf8());
        QCOMPARE(text("deleteSpaces").toUtf8(), QStringLiteral("删空格").toUtf8());
        QCOMPARE(help.toUtf8(),
                 QStringLiteral("说明:\n12345 = 31 32 33 34 35 \n你好 = C4 E3 BA C3 ").toUtf8());
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
        QVERIFY(app->HasQtTranslation());
      }
    }
    app->UseLanguages({QStringLiteral("zh-CN")});
  }

  // Every mode's label and help text has its English, and Chinese gives the table's own bytes.
  void everyModeTextIsTranslated() {
    auto* app = qobject_cast<ConverterApp*>(qApp);
    for (const tessaly::ui::ModeFace& mode : tessaly::ui::ModeFaces()) {
      app->UseLanguages({QStringLiteral("en-US")});
      const QString label = tessaly::ui::ModeText(mode.label);
      const QString help = tessaly::ui::ModeText(mode.help);
      app->UseLanguages({QStringLiteral("zh-CN")});
      QVERIFY2(label != tessaly::ui::FromUtf8(mode.label), mode.radio.data());
      QVERIFY2(help != tessaly::ui::FromUtf8(mode.help), mode.radio.data());
      QCOMPARE(help.count(QStringLiteral("{}")),
               tessaly::ui::FromUtf8(mode.help).count(QStringLiteral("{}")));
      QCOMPARE(tessaly::ui::ToUtf8(tessaly::ui::ModeText(mode.label)), std::string(mode.label));
      QCOMPARE(tessaly::ui::ToUtf8(tessaly::ui::ModeText(mode.help)), std::string(mode.help));
    }
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
  tessaly::ui::testing::UseChinese();
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
