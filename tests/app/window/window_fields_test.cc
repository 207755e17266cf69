// The window's controls and their handlers: file fields, dialogs, spins, check
// boxes, swatches and the date field.
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

#include "scripted_dialogs.h"

using tervo::MessageIcon;
using tervo::testing::WindowUnderTest;

class WindowFieldsTest : public QObject {
    Q_OBJECT

private slots:
    void StartsWithTheLayoutAndTheBuiltInDefaults();
    void GroupsSitWhereTheLayoutPutsThem_data();
    void GroupsSitWhereTheLayoutPutsThem();
    void ChoosingAnInputProposesTheOutputAndEnablesRun();
    void TypingIntoEdit1KeepsTheChosenDirectory();
    void TypingIntoEdit1BeforeAnyChoiceUsesTheProgramDirectory();
    void ChoosingAnOutputTakesThePathAsTyped();
    void RunNeedsAnInputAndAnOutputName_data();
    void RunNeedsAnInputAndAnOutputName();
    void RunFollowsChosenFilesAndTheUnlock();
    void AnAbsoluteOutputIsUsedAsItStands_data();
    void AnAbsoluteOutputIsUsedAsItStands();
    void SpinsStepWithinTheirBounds_data();
    void SpinsStepWithinTheirBounds();
    void UncheckingAllWaypointsGreysItsSwatch();
    void SwatchesTakeTheChosenColour();
    void UncheckingTheDateBoxGreysTheDateField();
    void LeavingAnIncompleteDateComplainsAndEscapeRestores();
    void LockingTheControlsDoesNotCheckTheDate();
    void QtFiltersShowEachPatternOnceAndAllFilesWithoutAFullStop();
};

void WindowFieldsTest::StartsWithTheLayoutAndTheBuiltInDefaults() {
    WindowUnderTest t;
    tervo::TForm1& window = t.window();
    const auto& ui = t.ui();
    QCOMPARE(window.windowTitle(), QStringLiteral("TervoConverter  Ver 5.2"));
    QCOMPARE(window.size(), QSize(350, 382));
    QCOMPARE(window.minimumSize(), window.maximumSize());
    QCOMPARE(window.pos(), QPoint(426, 199));
    // No default settings file: the built-in defaults, not the initial white swatches.
    QCOMPARE(ui.ShapeStyleTrack->color(), 255);
    QCOMPARE(ui.ShapeFullTrack->color(), 32768);
    QCOMPARE(ui.ShapeRightPoint->color(), 16711680);
    QCOMPARE(ui.ShapeIncorPoint->color(), 65535);
    QCOMPARE(ui.ShapeDTrack->color(), 65280);
    QCOMPARE(ui.Edit3->text(), QStringLiteral("5"));
    QCOMPARE(ui.Edit4->text(), QStringLiteral("0.5"));
    QCOMPARE(ui.Edit7->text(), QStringLiteral("7"));
    QCOMPARE(ui.MaskEdit1->displayText(), QStringLiteral("2000-01-01"));
    QVERIFY(ui.MaskEdit1->isEnabled());
    QVERIFY(ui.CheckBox1->isChecked());
    QVERIFY(!ui.CheckBox2->isChecked() && !ui.CheckBox3->isChecked() && !ui.CheckBox4->isChecked());
    QVERIFY(ui.Edit3->isReadOnly() && ui.Edit4->isReadOnly() && ui.Edit7->isReadOnly());
    QCOMPARE(ui.RadioGroup1Items->checkedId(), 0);
    QVERIFY(ui.Edit1->text().isEmpty() && ui.Edit6->text().isEmpty() && ui.Edit2->text().isEmpty());
    QVERIFY(!ui.SpeedButton3->isEnabled());
    QCOMPARE(ui.SpeedButton3->text(), QStringLiteral("Run"));
    QCOMPARE(ui.CGauge1->text(), QStringLiteral("0%"));
    QVERIFY(ui.Panel2->text().isEmpty() && ui.Panel3->text().isEmpty());
    QVERIFY(window.acceptDrops());
    QVERIFY(!window.windowIcon().isNull());
    QVERIFY(!ui.Image1->pixmap().isNull());
    QCOMPARE(t.dialogs().unexpected, 0);
}

void WindowFieldsTest::GroupsSitWhereTheLayoutPutsThem_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("place");
    // clang-format off
    QTest::newRow("input") << "GroupBox1" << ">>>Input" << QRect(0, 176, 202, 73);
    QTest::newRow("output") << "GroupBox10" << ">>>Output(.kmz)" << QRect(0, 248, 202, 40);
    QTest::newRow("settings") << "GroupBox3" << " Settings" << QRect(202, 0, 147, 285);
    QTest::newRow("style") << "GroupBox5" << " Style Track" << QRect(4, 13, 141, 122);
    QTest::newRow("waypoints") << "GroupBox11" << " Waypoints" << QRect(4, 134, 141, 72);
    QTest::newRow("date") << "GroupBox4" << "Date(yyyy-mm-dd)" << QRect(4, 205, 117, 37);
    QTest::newRow("d-track") << "GroupBox12" << "D-Track" << QRect(4, 242, 141, 38);
    QTest::newRow("run") << "GroupBox9" << "" << QRect(0, 284, 349, 35);
    QTest::newRow("configuration") << "GroupBox2" << "Configuration" << QRect(0, 320, 349, 40);
    // clang-format on
}

void WindowFieldsTest::GroupsSitWhereTheLayoutPutsThem() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QRect, place);
    WindowUnderTest t;
    auto* group = t.window().findChild<QGroupBox*>(name);
    QVERIFY(group != nullptr);
    QCOMPARE(group->title(), caption);
    QCOMPARE(group->geometry(), place);
}

void WindowFieldsTest::ChoosingAnInputProposesTheOutputAndEnablesRun() {
    WindowUnderTest t;
    const auto& ui = t.ui();
    auto& dialogs = t.dialogs();

    dialogs.openAnswers.push_back(std::nullopt);
    QTest::mouseClick(ui.SpeedButtonOpen, Qt::LeftButton);
    QCOMPARE(dialogs.openRequests.at(0).title, std::string("Open"));
    QVERIFY(dialogs.openRequests.at(0).filters.empty());
    QCOMPARE(dialogs.openRequests.at(0).directory, t.programDirectory());
    QVERIFY(ui.Edit1->text().isEmpty());
    QVERIFY(!ui.SpeedButton3->isEnabled());

    dialogs.openAnswers.push_back("/data/logs/drive.nmea");
    QTest::mouseClick(ui.SpeedButtonOpen, Qt::LeftButton);
    QCOMPARE(ui.Edit1->text(), QStringLiteral("drive.nmea"));
    QCOMPARE(ui.Edit1->toolTip(), QStringLiteral("/data/logs/drive.nmea"));
    QCOMPARE(t.window().Edit1FullPath(), std::string("/data/logs/drive.nmea"));
    QCOMPARE(ui.Edit6->text(), QStringLiteral("drive.nmea.kmz"));
    QCOMPARE(ui.Edit6->toolTip(), QStringLiteral("/data/logs/drive.nmea.kmz"));
    QVERIFY(ui.SpeedButton3->isEnabled());

    // The next dialog opens where the last input was.
    dialogs.openAnswers.push_back(std::nullopt);
    QTest::mouseClick(ui.SpeedButtonOpen, Qt::LeftButton);
    QCOMPARE(dialogs.openRequests.at(2).directory, std::string("/data/logs/"));
    QCOMPARE(ui.Edit1->text(), QStringLiteral("drive.nmea"));
    QCOMPARE(t.window().Edit6FullPath(), std::string("/data/logs/drive.nmea.kmz"));
    QCOMPARE(dialogs.unexpected, 0);
}

void WindowFieldsTest::TypingIntoEdit1KeepsTheChosenDirectory() {
    WindowUnderTest t;
    const auto& ui = t.ui();
    t.dialogs().openAnswers.push_back("/data/logs/drive.nmea");
    QTest::mouseClick(ui.SpeedButtonOpen, Qt::LeftButton);

    ui.Edit1->selectAll();
    QTest::keyClicks(ui.Edit1, "other.log");
    QCOMPARE(ui.Edit1->text(), QStringLiteral("other.log"));
    QCOMPARE(t.window().Edit1FullPath(), std::string("/data/logs/other.log"));
    QCOMPARE(ui.Edit1->toolTip(), QStringLiteral("/data/logs/other.log"));
    QVERIFY(ui.SpeedButton3->isEnabled());
    // The output field has no change rule of its own.
    QCOMPARE(ui.Edit6->text(), QStringLiteral("drive.nmea.kmz"));

    ui.Edit1->selectAll();
    QTest::keyClick(ui.Edit1, Qt::Key_Delete);
    QVERIFY(ui.Edit1->text().isEmpty());
    QVERIFY(!ui.SpeedButton3->isEnabled());
    QCOMPARE(t.window().Edit1FullPath(), std::string("/data/logs/"));
}

void WindowFieldsTest::TypingIntoEdit1BeforeAnyChoiceUsesTheProgramDirectory() {
    WindowUnderTest t;
    QTest::keyClicks(t.ui().Edit1, "a.log");
    QCOMPARE(t.window().Edit1FullPath(), t.programDirectory() + "a.log");
    // Run waits for an output name too.
    QVERIFY(!t.ui().SpeedButton3->isEnabled());
    QTest::keyClicks(t.ui().Edit6, "a.kmz");
    QVERIFY(t.ui().SpeedButton3->isEnabled());
}

void WindowFieldsTest::ChoosingAnOutputTakesThePathAsTyped() {
    WindowUnderTest t;
    const auto& ui = t.ui();
    auto& dialogs = t.dialogs();
    dialogs.openAnswers.push_back("/data/logs/drive.nmea");
    QTest::mouseClick(ui.SpeedButtonOpen, Qt::LeftButton);

    dialogs.saveAnswers.push_back("/elsewhere/result");
    QTest::mouseClick(ui.SpeedButtonSave, Qt::LeftButton);
    const tervo::FileDialogRequest& first = dialogs.saveRequests.at(0);
    QCOMPARE(first.title, std::string("Save as "));
    QVERIFY(first.filters.empty());
    QCOMPARE(first.directory, std::string("/data/logs/"));
    QCOMPARE(first.fileName, std::string("/data/logs/drive.nmea.kmz"));
    // No extension is added.
    QCOMPARE(ui.Edit6->text(), QStringLiteral("result"));
    QCOMPARE(t.window().Edit6FullPath(), std::string("/elsewhere/result"));

    // With Edit6 empty the dialog keeps the name of its last use; Cancel changes nothing.
    ui.Edit6->clear();
    dialogs.saveAnswers.push_back(std::nullopt);
    QTest::mouseClick(ui.SpeedButtonSave, Qt::LeftButton);
    QCOMPARE(dialogs.saveRequests.at(1).fileName, std::string("/elsewhere/result"));
    QCOMPARE(t.window().Edit6FullPath(), std::string("/elsewhere/result"));
    QVERIFY(ui.Edit6->text().isEmpty());
    QCOMPARE(dialogs.unexpected, 0);
}

void WindowFieldsTest::RunNeedsAnInputAndAnOutputName_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::addColumn<bool>("enabled");
    // clang-format off
    QTest::newRow("neither") << "" << "" << false;
    QTest::newRow("input only") << "a.log" << "" << false;
    QTest::newRow("output only") << "" << "a.kmz" << false;
    QTest::newRow("both") << "a.log" << "a.kmz" << true;
    QTest::newRow("absolute output") << "a.log" << "/data/out/a.kmz" << true;
    QTest::newRow("output a directory") << "a.log" << "/data/out/" << false;
    // clang-format on
}

void WindowFieldsTest::RunNeedsAnInputAndAnOutputName() {
    QFETCH(QString, input);
    QFETCH(QString, output);
    QFETCH(bool, enabled);
    WindowUnderTest t;
    const auto& ui = t.ui();
    // Typed in either order, the last key decides.
    QTest::keyClicks(ui.Edit1, input);
    QTest::keyClicks(ui.Edit6, output);
    QCOMPARE(ui.SpeedButton3->isEnabled(), enabled);
    ui.Edit6->clear();
    ui.Edit1->clear();
    QTest::keyClicks(ui.Edit6, output);
    QTest::keyClicks(ui.Edit1, input);
    QCOMPARE(ui.SpeedButton3->isEnabled(), enabled);
}

void WindowFieldsTest::RunFollowsChosenFilesAndTheUnlock() {
    WindowUnderTest t;
    const auto& ui = t.ui();
    auto& dialogs = t.dialogs();
    dialogs.openAnswers.push_back("/data/logs/drive.nmea");
    QTest::mouseClick(ui.SpeedButtonOpen, Qt::LeftButton);
    QVERIFY(ui.SpeedButton3->isEnabled());

    ui.Edit6->clear();
    QVERIFY(!ui.SpeedButton3->isEnabled());
    // The unlock after a run leaves Run as the fields have it.
    t.window().LockControls();
    t.window().UnlockControls();
    QVERIFY(!ui.SpeedButton3->isEnabled());
    QVERIFY(ui.Edit6->isEnabled() && ui.GroupBox3->isEnabled());

    dialogs.saveAnswers.push_back("/elsewhere/result.kmz");
    QTest::mouseClick(ui.SpeedButtonSave, Qt::LeftButton);
    QVERIFY(ui.SpeedButton3->isEnabled());
    t.window().LockControls();
    t.window().UnlockControls();
    QVERIFY(ui.SpeedButton3->isEnabled());
    QCOMPARE(dialogs.unexpected, 0);
}

void WindowFieldsTest::AnAbsoluteOutputIsUsedAsItStands_data() {
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    // clang-format off
    QTest::newRow("a name") << "x.kmz" << "/data/logs/drive.nmea.kmz" << "x.kmz";
    QTest::newRow("absolute") << "/data/out/x.kmz" << "/data/out/x.kmz" << "x.kmz";
    QTest::newRow("absolute elsewhere") << "/tmp/y" << "/tmp/y" << "y";
    // clang-format on
}

void WindowFieldsTest::AnAbsoluteOutputIsUsedAsItStands() {
    QFETCH(QString, output);
    QFETCH(QString, path);
    QFETCH(QString, name);
    WindowUnderTest t;
    const auto& ui = t.ui();
    t.dialogs().openAnswers.push_back("/data/logs/drive.nmea");
    QTest::mouseClick(ui.SpeedButtonOpen, Qt::LeftButton);
    ui.Edit6->selectAll();
    QTest::keyClicks(ui.Edit6, output);
    // The run takes the directory of OutputPath and OutputName behind it.
    const tervo::ConversionSettings settings = t.window().CurrentConversionSettings();
    QCOMPARE(QString::fromStdString(settings.OutputPath), path);
    QCOMPARE(QString::fromStdString(settings.OutputName), name);
}

void WindowFieldsTest::SpinsStepWithinTheirBounds_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("spin");
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("up");
    QTest::addColumn<QString>("expected");
    // clang-format off
    QTest::newRow("width at 10 up") << "Edit3" << "UpDown1" << "10" << true << "10";
    QTest::newRow("width at 1 down") << "Edit3" << "UpDown1" << "1" << false << "1";
    QTest::newRow("width 5 up") << "Edit3" << "UpDown1" << "5" << true << "6";
    QTest::newRow("width 25 up") << "Edit3" << "UpDown1" << "25" << true << "10";
    QTest::newRow("width 25 down") << "Edit3" << "UpDown1" << "25" << false << "10";
    QTest::newRow("d-track 25 down") << "Edit7" << "UpDown3" << "25" << false << "10";
    QTest::newRow("d-track text up") << "Edit7" << "UpDown3" << "wide" << true << "1";
    QTest::newRow("scale 0.5 up") << "Edit4" << "UpDown2" << "0.5" << true << "0.600000";
    QTest::newRow("scale 0.9 up") << "Edit4" << "UpDown2" << "0.900000" << true << "1.000000";
    QTest::newRow("scale 1.0 up") << "Edit4" << "UpDown2" << "1.000000" << true << "1.0";
    QTest::newRow("scale 0.2 down") << "Edit4" << "UpDown2" << "0.200000" << false << "0.100000";
    QTest::newRow("scale 0.1 down") << "Edit4" << "UpDown2" << "0.100000" << false << "0.1";
    QTest::newRow("scale text down") << "Edit4" << "UpDown2" << "big" << false << "0.1";
    // clang-format on
}

void WindowFieldsTest::SpinsStepWithinTheirBounds() {
    QFETCH(QString, field);
    QFETCH(QString, spin);
    QFETCH(QString, start);
    QFETCH(bool, up);
    QFETCH(QString, expected);
    WindowUnderTest t;
    auto* edit = t.window().findChild<QLineEdit*>(field);
    auto* upDown = t.window().findChild<tervo::UpDown*>(spin);
    QVERIFY(edit != nullptr && upDown != nullptr);
    edit->setText(start);
    QTest::mouseClick(up ? upDown->upButton() : upDown->downButton(), Qt::LeftButton);
    QCOMPARE(edit->text(), expected);
    // The narrow field shows the text from its start ("0.6…", not "00000").
    QCOMPARE(edit->cursorPosition(), 0);
}

void WindowFieldsTest::UncheckingAllWaypointsGreysItsSwatch() {
    WindowUnderTest t;
    const auto& ui = t.ui();
    t.window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&t.window()));

    ui.CheckBox2->click();
    QVERIFY(ui.CheckBox2->isChecked());
    QVERIFY(ui.Label3->isEnabled() && ui.ShapeFullTrack->isEnabled());
    ui.CheckBox2->click();
    QVERIFY(!ui.Label3->isEnabled());
    QVERIFY(!ui.ShapeFullTrack->isEnabled());

    QTest::mouseClick(ui.ShapeFullTrack, Qt::LeftButton);
    QVERIFY(t.dialogs().colorRequests.empty());
    QCOMPARE(ui.ShapeFullTrack->color(), 32768);
    QCOMPARE(t.dialogs().unexpected, 0);
}

void WindowFieldsTest::SwatchesTakeTheChosenColour() {
    WindowUnderTest t;
    const auto& ui = t.ui();
    auto& dialogs = t.dialogs();
    t.window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&t.window()));

    dialogs.colorAnswers = {0x123456, std::nullopt, 0x00FF00, 0x0000AA};
    QTest::mouseClick(ui.ShapeDTrack, Qt::RightButton);
    QTest::mouseClick(ui.ShapeRightPoint, Qt::LeftButton);
    QTest::mouseClick(ui.ShapeIncorPoint, Qt::LeftButton);
    QTest::mouseClick(ui.ShapeStyleTrack, Qt::LeftButton);
    QCOMPARE(dialogs.colorRequests, (std::vector<int32_t>{65280, 16711680, 65535, 255}));
    QCOMPARE(ui.ShapeDTrack->color(), 0x123456);
    QCOMPARE(ui.ShapeRightPoint->color(), 16711680);  // cancelled
    QCOMPARE(ui.ShapeIncorPoint->color(), 0x00FF00);
    QCOMPARE(ui.ShapeStyleTrack->color(), 0x0000AA);
    QCOMPARE(t.window().CurrentConversionSettings().ShapeDTrack, 0x123456);
}

void WindowFieldsTest::UncheckingTheDateBoxGreysTheDateField() {
    WindowUnderTest t;
    const auto& ui = t.ui();
    ui.CheckBox1->click();
    QVERIFY(!ui.MaskEdit1->isEnabled());
    QCOMPARE(ui.MaskEdit1->displayText(), QStringLiteral("2000-01-01"));
    QVERIFY(!t.window().CurrentConversionSettings().CheckBox1);
    ui.CheckBox1->click();
    QVERIFY(ui.MaskEdit1->isEnabled());
}

void WindowFieldsTest::LeavingAnIncompleteDateComplainsAndEscapeRestores() {
    WindowUnderTest t;
    const auto& ui = t.ui();
    auto& dialogs = t.dialogs();
    t.window().show();
    QVERIFY(QTest::qWaitForWindowActive(&t.window()));

    // Leaving without an edit, or after a complete one, is quiet.
    ui.MaskEdit1->setFocus(Qt::MouseFocusReason);
    ui.Edit2->setFocus(Qt::TabFocusReason);
    ui.MaskEdit1->setFocus(Qt::MouseFocusReason);
    ui.MaskEdit1->setCursorPosition(0);
    QTest::keyClicks(ui.MaskEdit1, "2024");
    ui.Edit2->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    QVERIFY(dialogs.messages.empty());
    QCOMPARE(ui.MaskEdit1->displayText(), QStringLiteral("2024-01-01"));

    ui.MaskEdit1->setFocus(Qt::MouseFocusReason);
    ui.MaskEdit1->setCursorPosition(10);
    QTest::keyClick(ui.MaskEdit1, Qt::Key_Backspace);
    QCOMPARE(ui.MaskEdit1->displayText(), QStringLiteral("2024-01-0_"));
    ui.Edit2->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(dialogs.messages.size(), size_t(1));
    QCOMPARE(dialogs.messages[0].icon, MessageIcon::Error);
    QCOMPARE(dialogs.messages[0].caption, std::string("TervoConverter"));
    QCOMPARE(dialogs.messages[0].text,
             std::string("Invalid input value.  Use escape key to abandon changes."));
    QTRY_VERIFY(ui.MaskEdit1->hasFocus());

    QTest::keyClick(ui.MaskEdit1, Qt::Key_Escape);
    QCOMPARE(ui.MaskEdit1->displayText(), QStringLiteral("2024-01-01"));
    ui.Edit2->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    QCOMPARE(dialogs.messages.size(), size_t(1));
    QCOMPARE(t.window().CurrentConversionSettings().MaskEdit1, std::string("2024-01-01"));
}

void WindowFieldsTest::LockingTheControlsDoesNotCheckTheDate() {
    WindowUnderTest t;
    const auto& ui = t.ui();
    auto& dialogs = t.dialogs();
    t.window().show();
    QVERIFY(QTest::qWaitForWindowActive(&t.window()));
    ui.MaskEdit1->setFocus(Qt::MouseFocusReason);
    ui.MaskEdit1->setCursorPosition(10);
    QTest::keyClick(ui.MaskEdit1, Qt::Key_Backspace);
    QCOMPARE(ui.MaskEdit1->displayText(), QStringLiteral("2000-01-0_"));

    // The lock takes the focus from the field: no leaving, no box.
    t.window().LockControls();
    QVERIFY(!ui.MaskEdit1->hasFocus());
    QCoreApplication::processEvents();
    QVERIFY(dialogs.messages.empty());
    t.window().UnlockControls();
    QCoreApplication::processEvents();
    QVERIFY(dialogs.messages.empty());

    // The edit is still checked when the user leaves the field.
    ui.MaskEdit1->setFocus(Qt::MouseFocusReason);
    ui.Edit2->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(dialogs.messages.size(), size_t(1));
    QCOMPARE(dialogs.messages[0].text,
             std::string("Invalid input value.  Use escape key to abandon changes."));
    QTRY_VERIFY(ui.MaskEdit1->hasFocus());
}

void WindowFieldsTest::QtFiltersShowEachPatternOnceAndAllFilesWithoutAFullStop() {
    QCOMPARE(tervo::QtNameFilters({{"Configuration (*.ini)", "*.ini"}, {"All files ", "*.*"}}),
             std::string("Configuration (*.ini);;All files (*)"));
    QCOMPARE(tervo::QtNameFilters({{"Logs", "*.nmea"}}), std::string("Logs (*.nmea)"));
    QVERIFY(tervo::QtNameFilters({}).empty());
}

QTEST_MAIN(WindowFieldsTest)
#include "window_fields_test.moc"
