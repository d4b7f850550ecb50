// Dialog units and where the main window goes on a screen.
#include <QTest>

#include "ui/dialog_units.h"

using tessaly::ui::CentredTopLeft;

class DialogUnitsTest : public QObject {
  Q_OBJECT

 private slots:
  void centredTopLeft_data() {
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<QPoint>("expected");
    // A 1920x1080 screen with a 27 px panel, at scale factors 1, 1.5 and 2, and a window of
    // 520x470 with a 30 px title bar: the sizes the window has with the desktop's usual font.
    const QSize frame(528, 504);
    QTest::newRow("scale 1") << QRect(0, 0, 1920, 1053) << frame << QPoint(696, 274);
    QTest::newRow("scale 1.5") << QRect(0, 0, 1280, 702) << frame << QPoint(376, 99);
    QTest::newRow("scale 2") << QRect(0, 0, 960, 526) << frame << QPoint(216, 11);
    QTest::newRow("panel on top") << QRect(0, 32, 960, 508) << frame << QPoint(216, 34);
    QTest::newRow("second screen") << QRect(1920, 0, 1280, 1024) << frame << QPoint(2296, 260);
    QTest::newRow("screen left of the first")
        << QRect(-1280, 0, 1280, 1024) << frame << QPoint(-904, 260);
    QTest::newRow("exact fit") << QRect(0, 0, 528, 504) << frame << QPoint(0, 0);
    QTest::newRow("too tall: the title bar stays")
        << QRect(0, 0, 960, 400) << frame << QPoint(216, 0);
    QTest::newRow("too wide: the left edge stays")
        << QRect(100, 0, 500, 800) << frame << QPoint(100, 148);
    QTest::newRow("odd remainder") << QRect(0, 0, 531, 507) << frame << QPoint(1, 1);
  }

  // Centred, and wholly inside the available area whenever the frame fits in it.
  void centredTopLeft() {
    QFETCH(QRect, available);
    QFETCH(QSize, frame);
    QFETCH(QPoint, expected);
    const QPoint at = CentredTopLeft(available, frame);
    QCOMPARE(at, expected);
    if (frame.width() <= available.width() && frame.height() <= available.height()) {
      QVERIFY(available.contains(QRect(at, frame)));
    } else {
      QVERIFY(available.contains(at));
    }
  }
};

QTEST_GUILESS_MAIN(DialogUnitsTest)

#include "dialog-units-test.moc"
