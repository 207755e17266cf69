// The window's settings files: the default file at start-up, the configuration
// open and save buttons, and the closing dialogue.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <limits>
#include <utility>

#include "app/window/extras_dialog.h"
#include "scripted_dialogs.h"

using tervo::MessageIcon;
using tervo::testing::FileExists;
using tervo::testing::ReadFile;
using tervo::testing::WindowUnderTest;

namespace {

constexpr const char* kDefaultFile =
    "[Settings]\r\nShapeStyleTrack=$123456\r\nEdit7=3\r\nCheckBox2=1\r\nMaskEdit1=1999-12-31\r\n";

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

class WindowSettingsTest : public QObject {
    Q_OBJECT

private slots:
    void StartsWithTheDefaultSettingsFile();
    void OpeningAMissingConfigurationAppliesTheDefaults();
    void SavingAConfigurationLeavesEdit2Alone();
    void ClosingUnchangedAsksNothing();
    void ClosingChangedAndAnsweringNoSavesNothing();
    void ClosingChangedAndAnsweringYesSavesToEdit2();
    void AFailedSaveKeepsTheWindowOpen();
    void AnInstalledWindowKeepsItsSettingsInTheUsersConfiguration();
    void AScaleFromTheFileShowsFromItsStart();
    void AWindowOffEveryScreenGoesOntoTheNearest_data();
    void AWindowOffEveryScreenGoesOntoTheNearest();
    void APositionOffTheScreenStaysInTheSettings_data();
    void APositionOffTheScreenStaysInTheSettings();
    void TheExtrasDialogDecidesTheNextRunAndTheSavedFile();
    void TheLogoMenuAndTheShortcutOpenTheExtrasDialog();
    void TheExtrasDialogHasAControlForEveryExtra();
    void TheExtrasDialogTakesAReferenceAndRefusesABadOne();
    void TheExtrasDialogGroupsItsFieldsAndStartsThemUseful();
};

void WindowSettingsTest::StartsWithTheDefaultSettingsFile() {
    WindowUnderTest t(kDefaultFile);
    const auto& ui = t.ui();
    QCOMPARE(ui.ShapeStyleTrack->color(), 0x123456);
    QCOMPARE(ui.Edit7->text(), QStringLiteral("3"));
    QCOMPARE(ui.MaskEdit1->displayText(), QStringLiteral("1999-12-31"));
    QVERIFY(ui.CheckBox2->isChecked());
    QVERIFY(ui.ShapeFullTrack->isEnabled());
    // Keys the file lacks keep the window's initial values.
    QCOMPARE(ui.ShapeDTrack->color(), 16777215);
    QCOMPARE(ui.Edit3->text(), QStringLiteral("5"));
    QVERIFY(ui.Edit2->text().isEmpty());
    QCOMPARE(t.window().SettingsBaseline().Edit7, std::string("3"));
}

void WindowSettingsTest::OpeningAMissingConfigurationAppliesTheDefaults() {
    WindowUnderTest t(kDefaultFile);
    const auto& ui = t.ui();
    auto& dialogs = t.dialogs();
    const std::string missing = t.files().File("missing.ini");

    dialogs.openAnswers = {std::nullopt, missing};
    QTest::mouseClick(ui.SpeedButton1, Qt::LeftButton);
    QCOMPARE(ui.Edit7->text(), QStringLiteral("3"));  // cancelled
    QTest::mouseClick(ui.SpeedButton1, Qt::LeftButton);

    const tervo::FileDialogRequest& request = dialogs.openRequests.at(1);
    QCOMPARE(request.title, std::string("Open "));
    QCOMPARE(request.filters.size(), size_t(2));
    QCOMPARE(request.filters[0].name, std::string("Configuration (*.ini)"));
    QCOMPARE(request.filters[0].pattern, std::string("*.ini"));
    QCOMPARE(request.filters[1].name, std::string("All files "));
    QCOMPARE(request.filters[1].pattern, std::string("*.*"));

    QCOMPARE(ui.Edit2->text(), QStringLiteral("missing.ini"));
    QCOMPARE(t.window().Edit2FullPath(), missing);
    QCOMPARE(ui.Edit2->toolTip(), QString::fromStdString(missing));
    QCOMPARE(ui.ShapeStyleTrack->color(), 255);
    QCOMPARE(ui.ShapeDTrack->color(), 65280);
    QCOMPARE(ui.Edit7->text(), QStringLiteral("7"));
    QCOMPARE(ui.MaskEdit1->displayText(), QStringLiteral("2000-01-01"));
    QVERIFY(!ui.CheckBox2->isChecked());
    // The defaults are the new baseline: closing now asks nothing.
    QVERIFY(t.window().close());
    QVERIFY(dialogs.questions.empty());
}

void WindowSettingsTest::SavingAConfigurationLeavesEdit2Alone() {
    WindowUnderTest t;
    const auto& ui = t.ui();
    auto& dialogs = t.dialogs();
    const std::string saved = t.files().File("mine.ini");
    QTest::mouseClick(ui.UpDown1->upButton(), Qt::LeftButton);

    dialogs.saveAnswers = {saved};
    QTest::mouseClick(ui.SpeedButton2, Qt::LeftButton);
    const tervo::FileDialogRequest& request = dialogs.saveRequests.at(0);
    QCOMPARE(request.title, std::string("Save as"));
    QCOMPARE(request.directory, t.programDirectory());
    QCOMPARE(request.fileName, std::string("tervoconverter.ini"));
    QCOMPARE(request.filters.size(), size_t(2));
    QVERIFY(Contains(ReadFile(saved), "Edit3=6\r\n"));
    QVERIFY(ui.Edit2->text().isEmpty());
    QVERIFY(t.window().Edit2FullPath().empty());

    // Saving is no load: the change is still offered on closing, for Edit2's file.
    dialogs.yesNoAnswers = {true};
    QVERIFY(t.window().close());
    QCOMPARE(dialogs.questions.size(), size_t(1));
    QVERIFY(Contains(ReadFile(t.programDirectory() + "tervoconverter.ini"), "Edit3=6\r\n"));
}

void WindowSettingsTest::ClosingUnchangedAsksNothing() {
    WindowUnderTest t;
    const auto& ui = t.ui();
    // Moving the window and a width spin up and down again change nothing that counts.
    t.window().move(10, 20);
    QTest::mouseClick(ui.UpDown1->upButton(), Qt::LeftButton);
    QTest::mouseClick(ui.UpDown1->downButton(), Qt::LeftButton);
    QVERIFY(t.window().close());
    QVERIFY(t.dialogs().questions.empty());
    QVERIFY(!FileExists(t.programDirectory() + "tervoconverter.ini"));
}

void WindowSettingsTest::ClosingChangedAndAnsweringNoSavesNothing() {
    WindowUnderTest t;
    const auto& ui = t.ui();
    // Up and down on the scale turns "0.5" into "0.500000": a different text.
    QTest::mouseClick(ui.UpDown2->upButton(), Qt::LeftButton);
    QTest::mouseClick(ui.UpDown2->downButton(), Qt::LeftButton);
    QCOMPARE(ui.Edit4->text(), QStringLiteral("0.500000"));
    t.dialogs().yesNoAnswers = {false};
    QVERIFY(t.window().close());
    QCOMPARE(t.dialogs().questions,
             std::vector<std::string>{"Information|The settings were changed. Save them?"});
    QVERIFY(!FileExists(t.programDirectory() + "tervoconverter.ini"));
}

void WindowSettingsTest::ClosingChangedAndAnsweringYesSavesToEdit2() {
    WindowUnderTest t;
    const auto& ui = t.ui();
    const std::string opened = t.files().File("opened.ini");
    tervo::testing::WriteFile(opened, "[Other]\r\nKeep=1\r\n");
    t.dialogs().openAnswers = {opened};
    QTest::mouseClick(ui.SpeedButton1, Qt::LeftButton);
    QCOMPARE(t.window().Edit2FullPath(), opened);

    ui.CheckBox3->click();
    t.window().move(30, 40);
    t.dialogs().yesNoAnswers = {true};
    QVERIFY(t.window().close());
    const std::string written = ReadFile(opened);
    QVERIFY(Contains(written, "[Other]\r\nKeep=1\r\n"));
    QVERIFY(Contains(written, "CheckBox3=1\r\n"));
    QVERIFY(Contains(written, "Left=30\r\n"));
    QVERIFY(Contains(written, "Top=40\r\n"));
    QVERIFY(!FileExists(t.programDirectory() + "tervoconverter.ini"));
}

void WindowSettingsTest::AnInstalledWindowKeepsItsSettingsInTheUsersConfiguration() {
    tervo::testing::TempDir configHome;
    const std::string settingsDirectory = configHome.File("made/tervoconverter/");
    auto installed = [&](tervo::testing::TestPlatform& platform) {
        platform.SetDirectoriesWritable(false);
        platform.SetEnvironmentValue("XDG_CONFIG_HOME", configHome.File("made"));
    };
    {
        // A file beside the program is not the installed program's.
        WindowUnderTest t(kDefaultFile, installed);
        const auto& ui = t.ui();
        QCOMPARE(ui.Edit7->text(), QStringLiteral("7"));
        QTest::mouseClick(ui.UpDown1->upButton(), Qt::LeftButton);
        t.dialogs().saveAnswers = {std::nullopt};
        QTest::mouseClick(ui.SpeedButton2, Qt::LeftButton);
        QCOMPARE(t.dialogs().saveRequests.at(0).directory, settingsDirectory);
        // Saving on closing makes the configuration directory.
        t.dialogs().yesNoAnswers = {true};
        QVERIFY(t.window().close());
        QVERIFY(Contains(ReadFile(settingsDirectory + "tervoconverter.ini"), "Edit3=6\r\n"));
    }
    WindowUnderTest again("", installed);
    QCOMPARE(again.ui().Edit3->text(), QStringLiteral("6"));
}

void WindowSettingsTest::AFailedSaveKeepsTheWindowOpen() {
    WindowUnderTest t;
    const auto& ui = t.ui();
    auto& dialogs = t.dialogs();
    const std::string place = t.files().File("no-such-dir/settings.ini");
    ui.Edit2->setText(QString::fromStdString(place));
    ui.CheckBox4->click();

    dialogs.yesNoAnswers = {true};
    QVERIFY(!t.window().close());
    QCOMPARE(dialogs.messages.size(), size_t(1));
    QCOMPARE(dialogs.messages[0].icon, MessageIcon::Error);
    QCOMPARE(dialogs.messages[0].caption, std::string("TervoConverter"));
    QCOMPARE(dialogs.messages[0].text, "Unable to write to " + place + ".");

    // Closing again asks again; No lets the window go.
    dialogs.yesNoAnswers = {false};
    QVERIFY(t.window().close());
    QCOMPARE(dialogs.questions.size(), size_t(2));
    QCOMPARE(dialogs.unexpected, 0);
}

void WindowSettingsTest::AScaleFromTheFileShowsFromItsStart() {
    WindowUnderTest t("[Settings]\r\nEdit4=0.700000\r\n");
    QCOMPARE(t.ui().Edit4->text(), QStringLiteral("0.700000"));
    QCOMPARE(t.ui().Edit4->cursorPosition(), 0);
    QCOMPARE(t.window().SettingsBaseline().Edit4, std::string("0.700000"));
}

void WindowSettingsTest::AWindowOffEveryScreenGoesOntoTheNearest_data() {
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QPoint>("expected");
    // Two screens side by side: 0..1919 x 0..1039 and 1920..3199 x 0..1023.
    // clang-format off
    QTest::newRow("on the first") << QRect(426, 199, 350, 382) << QPoint(426, 199);
    QTest::newRow("half on the second") << QRect(3000, 900, 350, 382) << QPoint(3000, 900);
    QTest::newRow("right of both") << QRect(5000, 300, 350, 382) << QPoint(2850, 300);
    QTest::newRow("left of both") << QRect(-2000, 100, 350, 382) << QPoint(0, 100);
    QTest::newRow("above the first") << QRect(100, -900, 350, 382) << QPoint(100, 0);
    QTest::newRow("below the second") << QRect(2500, 1500, 350, 382) << QPoint(2500, 642);
    QTest::newRow("far below left") << QRect(-800, 3000, 350, 382) << QPoint(0, 658);
    QTest::newRow("larger than the screen") << QRect(9000, 0, 2000, 1200) << QPoint(1920, 0);
    // clang-format on
}

void WindowSettingsTest::AWindowOffEveryScreenGoesOntoTheNearest() {
    QFETCH(QRect, frame);
    QFETCH(QPoint, expected);
    const QList<QRect> screens{QRect(0, 0, 1920, 1040), QRect(1920, 0, 1280, 1024)};
    QCOMPARE(tervo::PositionOnScreens(frame, screens), expected);
    QCOMPARE(tervo::PositionOnScreens(frame, {}), frame.topLeft());
}

void WindowSettingsTest::APositionOffTheScreenStaysInTheSettings_data() {
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("top");
    // The offscreen platform has one screen at 0, 0.
    // clang-format off
    QTest::newRow("far right and above") << 5000 << -5000;
    QTest::newRow("left") << -3000 << 100;
    QTest::newRow("below") << 100 << 4000;
    QTest::newRow("largest") << std::numeric_limits<int>::max() << std::numeric_limits<int>::max();
    QTest::newRow("smallest") << std::numeric_limits<int>::min() << std::numeric_limits<int>::min();
    // clang-format on
}

void WindowSettingsTest::APositionOffTheScreenStaysInTheSettings() {
    QFETCH(int, left);
    QFETCH(int, top);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(!screen.contains(QPoint(left, top)));
    WindowUnderTest t("[Settings]\r\nLeft=" + std::to_string(left) + "\r\nTop=" + std::to_string(top) +
                      "\r\n");
    tervo::TForm1& window = t.window();
    QVERIFY(screen.contains(window.frameGeometry()));
    // The file's position stays while the window stays where it was put...
    QCOMPARE(window.SettingsBaseline().Left, left);
    QCOMPARE(window.SettingsBaseline().Top, top);
    QCOMPARE(window.ReadControls().Left, left);
    QCOMPARE(window.ReadControls().Top, top);
    // ...and the window's own once it is moved.
    window.move(30, 40);
    QCOMPARE(window.ReadControls().Left, 30);
    QCOMPARE(window.ReadControls().Top, 40);

    // A position on the screen is taken as it is.
    WindowUnderTest onScreen("[Settings]\r\nLeft=" + std::to_string(screen.left() + 10) +
                             "\r\nTop=" + std::to_string(screen.top() + 20) + "\r\n");
    QCOMPARE(onScreen.window().pos(), screen.topLeft() + QPoint(10, 20));
    QCOMPARE(onScreen.window().ReadControls().Left, screen.left() + 10);
}

void WindowSettingsTest::TheExtrasDialogDecidesTheNextRunAndTheSavedFile() {
    WindowUnderTest t("[Settings]\r\nEdit3=6\r\n[Extras]\r\nThinSeconds=10\r\n");
    auto& dialogs = t.dialogs();
    tervo::Extras fromFile;
    fromFile.ThinSeconds = 10;
    QCOMPARE(t.window().CurrentConversionSettings().Extras, fromFile);

    tervo::Extras chosen;
    chosen.Regions = 1;
    dialogs.extrasAnswers = {std::nullopt, chosen};
    t.ui().ActionExtras->trigger();
    QCOMPARE(t.window().CurrentConversionSettings().Extras, fromFile);  // cancelled
    QVERIFY(!tervo::SettingsChanged(t.window().ReadControls(), t.window().SettingsBaseline()));
    t.ui().ActionExtras->trigger();
    QCOMPARE(dialogs.extrasRequests, (std::vector<tervo::Extras>{fromFile, fromFile}));
    QCOMPARE(t.window().CurrentConversionSettings().Extras, chosen);

    dialogs.yesNoAnswers = {true};
    QVERIFY(t.window().close());
    QCOMPARE(dialogs.questions.size(), size_t(1));
    const std::string written = ReadFile(t.programDirectory() + "tervoconverter.ini");
    QVERIFY(Contains(written, "\r\n[Extras]\r\nThinSeconds=\r\nRegions=1\r\n"));
    QCOMPARE(dialogs.unexpected, 0);
}

void WindowSettingsTest::TheLogoMenuAndTheShortcutOpenTheExtrasDialog() {
    WindowUnderTest t;
    const auto& ui = t.ui();
    auto& dialogs = t.dialogs();
    t.window().show();
    t.window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&t.window()));
    QCOMPARE(ui.Image1->objectName(), QStringLiteral("Image1"));

    // The shortcut, also while a line edit has the focus.
    ui.Edit1->setFocus();
    QTest::keyClick(ui.Edit1, Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(dialogs.extrasRequests.size(), size_t(1));

    // Right-click the logo, take "Extras…" from its menu.
    QStringList items;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr) {
            return;
        }
        for (QAction* action : menu->actions()) {
            items.append(action->text());
        }
        menu->setActiveAction(menu->actions().value(0));
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(20, 20), ui.Image1->mapToGlobal(QPoint(20, 20)));
    QApplication::sendEvent(ui.Image1, &click);
    QCOMPARE(items, QStringList{QString::fromUtf8("Extras…")});
    QCOMPARE(dialogs.extrasRequests.size(), size_t(2));
    QCOMPARE(dialogs.unexpected, 2);  // both cancelled
}

void WindowSettingsTest::TheExtrasDialogTakesAReferenceAndRefusesABadOne() {
    tervo::Extras initial;
    initial.ReferencePoint = "48.1,11.5,540";
    int chosen = 0;
    tervo::ExtrasDialog dialog(initial, nullptr, [&chosen](QWidget*) {
        ++chosen;
        return std::optional<std::string>("/data/truth.nmea");
    });
    auto* point = dialog.findChild<QLineEdit*>("ReferencePointValue");
    QVERIFY(point != nullptr);
    QCOMPARE(point->text(), QStringLiteral("48.1,11.5,540"));
    QVERIFY(point->isEnabled());
    auto* choose = dialog.findChild<QPushButton*>("ReferenceLogChoose");
    QVERIFY(choose != nullptr);
    QVERIFY(!choose->isEnabled());
    QVERIFY(dialog.findChild<QPushButton*>("ReferencePointChoose") == nullptr);

    // The log chosen with the file dialog, the point made a mean.
    dialog.findChild<QCheckBox*>("ReferenceLog")->setChecked(true);
    QVERIFY(choose->isEnabled());
    choose->click();
    QCOMPARE(chosen, 1);
    QCOMPARE(dialog.findChild<QLineEdit*>("ReferenceLogValue")->text(), QStringLiteral("/data/truth.nmea"));
    point->setText(QStringLiteral("mean"));
    tervo::Extras expected = initial;
    expected.ReferencePoint = "mean";
    expected.ReferenceLog = "/data/truth.nmea";
    QCOMPARE(dialog.Values(), expected);

    // A point beyond the pole keeps the dialog open and says why.
    point->setText(QStringLiteral("91,0,0"));
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(
        dialog.findChild<QLabel*>("Problem")->text(),
        QStringLiteral("Reference point (LAT,LON,HEIGHT or mean): latitude \"91\" is outside -90 to 90"));
    // Unchecked, it is no longer asked for, and OK closes.
    dialog.findChild<QCheckBox*>("ReferencePoint")->setChecked(false);
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(!dialog.Values().ReferencePoint);
}

void WindowSettingsTest::TheExtrasDialogHasAControlForEveryExtra() {
    tervo::Extras initial;
    initial.ThinSeconds = 12.3456;  // finer than the spin box shows
    initial.MaxPlacemarks = 500;
    initial.Regions = 1;
    initial.Export = "gpx,csv";
    {
        tervo::ExtrasDialog dialog(initial);
        QCOMPARE(dialog.objectName(), QStringLiteral("ExtrasDialog"));
        for (const tervo::ExtraKey& key : tervo::ExtraKeys()) {
            const QString name = QString::fromLatin1(key.Key);
            auto* asked = dialog.findChild<QCheckBox*>(name);
            QVERIFY2(asked != nullptr, key.Key);
            QCOMPARE(asked->text(), QString::fromUtf8(key.Label));
            QCOMPARE(asked->toolTip(), QString::fromUtf8(key.Help));
            QCOMPARE(asked->isChecked(), tervo::IsAsked(initial, key));
            QCOMPARE(dialog.findChild<QLineEdit*>(name + QStringLiteral("Value")) != nullptr,
                     key.Kind == tervo::ExtraKind::Text);
            auto* value = dialog.findChild<QAbstractSpinBox*>(name + QStringLiteral("Value"));
            QCOMPARE(value != nullptr,
                     key.Kind == tervo::ExtraKind::Number || key.Kind == tervo::ExtraKind::Count);
            QCOMPARE(dialog.findChild<QComboBox*>(name + QStringLiteral("Value")) != nullptr,
                     key.Kind == tervo::ExtraKind::Choice);
            if (auto* text = dialog.findChild<QLineEdit*>(name + QStringLiteral("Value"))) {
                QVERIFY(key.Kind == tervo::ExtraKind::Text);
                QCOMPARE(text->text().toStdString(), tervo::AskedText(initial, key));
            }
            if (auto* number = qobject_cast<QDoubleSpinBox*>(value)) {
                QVERIFY(key.Kind == tervo::ExtraKind::Number);
                QCOMPARE(number->minimum(), key.Min);
                QCOMPARE(number->maximum(), key.Max);
            } else if (auto* count = qobject_cast<QSpinBox*>(value)) {
                QVERIFY(key.Kind == tervo::ExtraKind::Count);
                QCOMPARE(count->minimum(), static_cast<int>(key.Min));
                QCOMPARE(count->maximum(), static_cast<int>(key.Max));
            }
            if (value != nullptr) {
                QCOMPARE(value->isEnabled(), asked->isChecked());
                asked->toggle();
                QCOMPARE(value->isEnabled(), asked->isChecked());
                asked->toggle();
                QCOMPARE(value->toolTip(), asked->toolTip());
            }
        }
        QCOMPARE(dialog.Values(), initial);
    }

    // The real dialog through the seam: Cancel gives nothing, OK what the controls hold.
    const auto answer = [](std::function<void(QDialog&)> fill, QDialogButtonBox::StandardButton button) {
        QTimer::singleShot(0, [fill, button] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) {
                return;
            }
            fill(*dialog);
            dialog->findChild<QDialogButtonBox*>()->button(button)->click();
        });
    };
    tervo::QtWindowDialogs real;
    answer([](QDialog& d) { d.findChild<QCheckBox*>("Viewer")->setChecked(true); }, QDialogButtonBox::Cancel);
    QVERIFY(!real.EditExtras(nullptr, initial));

    answer(
        [](QDialog& d) {
            d.findChild<QCheckBox*>("Viewer")->setChecked(true);
            d.findChild<QCheckBox*>("Regions")->setChecked(false);
            d.findChild<QCheckBox*>("ThinSeconds")->setChecked(false);
            d.findChild<QCheckBox*>("ThinMetres")->setChecked(true);
            d.findChild<QDoubleSpinBox*>("ThinMetresValue")->setValue(25.5);
            d.findChild<QSpinBox*>("MaxPlacemarksValue")->setValue(750);
            d.findChild<QLineEdit*>("ExportValue")->setText(" GeoJSON, csv");
        },
        QDialogButtonBox::Ok);
    tervo::Extras expected;
    expected.Viewer = 1;
    expected.Regions = 0;  // switched off, not just no longer asked for
    expected.ThinMetres = 25.5;
    expected.MaxPlacemarks = 750;
    expected.Export = "csv,geojson";  // as the check keeps a list
    QCOMPARE(real.EditExtras(nullptr, initial), std::optional<tervo::Extras>(expected));
}

void WindowSettingsTest::TheExtrasDialogGroupsItsFieldsAndStartsThemUseful() {
    tervo::ExtrasDialog dialog(tervo::Extras{});
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // Each box, from the top down, with one of its fields.
    const std::pair<const char*, const char*> groups[] = {
        {"Long logs in a globe viewer", "MaxPlacemarks"},
        {"A KMZ file per piece of the log", "SplitGap"},
        {"The report (summary, plots)", "Plots"},
        {"Colours", "ColourBy"},
        {"Dates", "DateFromZda"},
    };
    int above = std::numeric_limits<int>::min();
    for (const auto& [title, key] : groups) {
        QGroupBox* box = nullptr;
        for (QGroupBox* each : dialog.findChildren<QGroupBox*>()) {
            box = each->title() == QString::fromUtf8(title) ? each : box;
        }
        QVERIFY2(box != nullptr, title);
        QVERIFY2(box->findChild<QCheckBox*>(key) != nullptr, key);
        QVERIFY2(box->y() > above, title);
        above = box->y();
    }
    for (QCheckBox* asked : dialog.findChildren<QCheckBox*>()) {
        QVERIFY2(qobject_cast<QGroupBox*>(asked->parentWidget()) != nullptr, qPrintable(asked->objectName()));
    }
    // The groups scroll rather than the dialog outgrowing a small screen, and never sideways.
    QVERIFY(dialog.frameGeometry().height() <= dialog.screen()->availableGeometry().height());
    auto* scroll = dialog.findChild<QScrollArea*>();
    QVERIFY(scroll->widget()->minimumSizeHint().width() <= scroll->viewport()->width());

    // A field ticked on starts where a first try would: the preset's budget and
    // tolerance, not 2 placemarks or a tolerance that keeps every fix.
    for (const char* key : {"MaxPlacemarks", "LineTolerance", "ThinSeconds", "SplitGap", "ColourBy"}) {
        dialog.findChild<QCheckBox*>(key)->setChecked(true);
    }
    tervo::Extras expected;
    expected.MaxPlacemarks = 100;
    expected.LineTolerance = 5;
    expected.ThinSeconds = 10;
    expected.SplitGap = 300;
    expected.ColourBy = tervo::kColourByQuality;
    QCOMPARE(dialog.Values(), expected);
}

QTEST_MAIN(WindowSettingsTest)
#include "window_settings_test.moc"
