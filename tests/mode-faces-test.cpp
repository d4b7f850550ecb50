// The window's radio ids and what they select in the engine.
#include <QSet>
#include <QTest>
#include <string>

#include "engine/modes.h"
#include "engine/pipeline.h"
#include "tests/test_support.h"
#include "ui/mode_faces.h"

using tessaly::ConversionMode;
using tessaly::SeparatorStyle;
using tessaly::ui::ModeOfRadio;
using tessaly::ui::SeparatorOfRadio;

Q_DECLARE_METATYPE(tessaly::ConversionMode)
Q_DECLARE_METATYPE(tessaly::SeparatorStyle)

class ModeFacesTest : public QObject {
  Q_OBJECT

 private slots:
  void modeOfRadio_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<ConversionMode>("mode");
    const auto row = [](int id, ConversionMode mode) {
      QTest::newRow(std::to_string(id).c_str()) << id << mode;
    };
    row(1000, ConversionMode::HexEncode);
    row(1001, ConversionMode::HexDecode);
    row(1002, ConversionMode::Utf16Encode);
    row(1003, ConversionMode::Utf16Decode);
    row(1004, ConversionMode::RandomBytes);
    row(1005, ConversionMode::SimplifiedToTraditional);
    row(1006, ConversionMode::TraditionalToSimplified);
    row(1007, ConversionMode::GbkToBig5);
    row(1008, ConversionMode::Big5ToGbk);
    row(1009, ConversionMode::CharArray);
    row(1010, ConversionMode::Utf8Encode);
    row(1011, ConversionMode::Utf8Decode);
    row(1019, ConversionMode::FormatOnly);
    // No radio selected, the hidden reserved radios, and ids no mode radio has.
    for (const int id : {-1, 0, 999, 1012, 1013, 1014, 1015, 1016, 1017, 1018, 1020, 1025})
      row(id, ConversionMode::Unselected);
  }

  void modeOfRadio() {
    QFETCH(int, id);
    QFETCH(ConversionMode, mode);
    QCOMPARE(ModeOfRadio(id), mode);
    if (mode == ConversionMode::Unselected) return;
    // The way back, and the engine has the mode too.
    QVERIFY(tessaly::ui::FaceOf(mode) != nullptr);
    QCOMPARE(tessaly::ui::FaceOf(mode)->radio_id, id);
    QVERIFY(tessaly::FindMode(mode) != nullptr);
  }

  void separatorOfRadio_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<SeparatorStyle>("style");
    const auto row = [](int id, SeparatorStyle style) {
      QTest::newRow(std::to_string(id).c_str()) << id << style;
    };
    row(1025, SeparatorStyle::SeparatorNone);
    row(1026, SeparatorStyle::SeparatorSpace);
    row(1027, SeparatorStyle::SeparatorComma);
    row(1028, SeparatorStyle::SeparatorDot);
    row(1029, SeparatorStyle::SeparatorHexList);
    for (const int id : {-1, 0, 1000, 1019, 1024, 1030}) row(id, SeparatorStyle::Unselected);
  }

  void separatorOfRadio() {
    QFETCH(int, id);
    QFETCH(SeparatorStyle, style);
    QCOMPARE(SeparatorOfRadio(id), style);
  }

  // The regional standards have no radio of their own: the two simplified/traditional radios
  // reach them through the window's choice of standard.
  void onlyRadioModesHaveAFace() {
    QCOMPARE(tessaly::ui::FaceOf(ConversionMode::Unselected), nullptr);
    QCOMPARE(tessaly::ui::FaceOf(ConversionMode::S2tw), nullptr);
    QCOMPARE(tessaly::ui::FaceOf(ConversionMode::Jp2t), nullptr);
    QSet<int> ids;
    QSet<QByteArray> names;
    for (const tessaly::ui::ModeFace& face : tessaly::ui::ModeFaces()) {
      ids.insert(face.radio_id);
      names.insert(QByteArray(face.radio.data(), static_cast<qsizetype>(face.radio.size())));
    }
    QCOMPARE(ids.size(), 13);
    QCOMPARE(names.size(), 13);
  }

  void radioConvertsThroughTheEngine_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("separator");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("Reserved1012") << 1012 << 1025 << QByteArray("abc") << QByteArray();
    QTest::newRow("Reserved1018") << 1018 << 1029 << QByteArray("abc") << QByteArray("0x");
    for (int id = 1012; id <= 1018; ++id) {
      QTest::newRow(("EveryReservedId" + std::to_string(id)).c_str())
          << id << 1028 << QByteArray("31 32") << QByteArray();
    }
    QTest::newRow("NoRadio") << 0 << 0 << QByteArray("abc") << QByteArray();
    QTest::newRow("HexEncodeSpaced") << 1000 << 1026 << QByteArray("1 2") << QByteArray("31 32 ");
    QTest::newRow("FormatOnlyHexList")
        << 1019 << 1029 << QByteArray("11,22") << QByteArray("0x11,0x22");
  }

  // What the window's radios select converts as the engine converts that mode and style.
  void radioConvertsThroughTheEngine() {
    QFETCH(int, mode);
    QFETCH(int, separator);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    const std::string out = tessaly::testing::RunRequest(input.toStdString(), ModeOfRadio(mode),
                                                         SeparatorOfRadio(separator));
    QCOMPARE(QByteArray::fromStdString(out), expected);
  }
};

QTEST_GUILESS_MAIN(ModeFacesTest)

#include "mode-faces-test.moc"
