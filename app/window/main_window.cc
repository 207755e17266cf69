#include "app/window/main_window.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QRadioButton>
#include <QScreen>
#include <QStyleFactory>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <algorithm>
#include <exception>

#include "app/field_values.h"
#include "app/file_fields.h"
#include "app/live_source.h"
#include "app/run_ending.h"
#include "app/summary_output.h"
#include "app/version.h"
#include "app/window/artwork.h"
#include "core/errors.h"
#include "core/paths.h"
#include "report/summary.h"

namespace tervo {

namespace {

// A run's byte loop calls ProcessPendingEvents once per input byte; events are
// handed to Qt at most this often, which keeps the window live at no real cost.
constexpr qint64 kEventIntervalMs = 5;
constexpr int kCallsPerClockCheck = 64;

QString FromPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

std::string ToPath(const QString& text) { return QFile::encodeName(text).toStdString(); }

template <typename Widget>
Widget* Place(QWidget* parent, const char* name, int x, int y, int width, int height) {
    auto* widget = new Widget(parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(x, y, width, height);
    return widget;
}

CaptionGroupBox* PlaceGroup(QWidget* parent, const char* name, const char* caption, int x, int y, int width,
                            int height) {
    auto* group = Place<CaptionGroupBox>(parent, name, x, y, width, height);
    group->setTitle(QString::fromUtf8(caption));
    return group;
}

QLabel* PlaceLabel(QWidget* parent, const char* name, const char* caption, int x, int y, int width,
                   int height) {
    auto* label = Place<QLabel>(parent, name, x, y, width, height);
    label->setText(QString::fromUtf8(caption));
    return label;
}

QCheckBox* PlaceCheckBox(QWidget* parent, const char* name, const char* caption, int x, int y, int width,
                         int height) {
    auto* box = Place<QCheckBox>(parent, name, x, y, width, height);
    box->setText(QString::fromUtf8(caption));
    return box;
}

QToolButton* PlaceButton(QWidget* parent, const char* name, const QIcon& glyph, int x, int y, int width,
                         int height) {
    auto* button = Place<QToolButton>(parent, name, x, y, width, height);
    button->setIcon(glyph);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QLineEdit* PlaceReadOnlyField(QWidget* parent, const char* name, const char* text, int x, int y, int width,
                              int height) {
    auto* field = Place<QLineEdit>(parent, name, x, y, width, height);
    field->setReadOnly(true);
    field->setText(QString::fromLatin1(text));
    field->setTextMargins(0, 0, 0, 0);
    return field;
}

// Sets the text of a read-only numeric field. A text wider than the narrow field
// ("0.700000") shows from its start: setText leaves the cursor at the end, and
// the field scrolled to it, even when the text stays the same.
void ShowFieldText(QLineEdit* field, const std::string& text) {
    field->setText(QString::fromStdString(text));
    field->setCursorPosition(0);
}

ColorSwatch* PlaceSwatch(QWidget* parent, const char* name, int x, int y) {
    auto* swatch = new ColorSwatch(parent);
    swatch->setObjectName(QString::fromLatin1(name));
    swatch->move(x, y);
    return swatch;
}

QFont FontOf(QStringList families, int pixelSize) {
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(pixelSize);
    return font;
}

// The captions were laid out for a narrow sans serif; where it is missing, the
// next narrow one keeps them inside their groups.
QFont SansFont(int pixelSize) {
    return FontOf(
        {QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Tahoma"),
         QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
         QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")},
        pixelSize);
}

QColor GreyText() { return QApplication::palette().color(QPalette::Disabled, QPalette::WindowText); }

}  // namespace

void UseWindowStyle() {
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Windows"))) {
        QApplication::setStyle(style);
    }
}

QPoint PositionOnScreens(const QRect& frame, const QList<QRect>& screens) {
    const QRect* nearest = nullptr;
    qint64 nearestDistance = 0;
    for (const QRect& screen : screens) {
        if (screen.intersects(frame)) {
            return frame.topLeft();
        }
        // The gaps between the two rectangles across and down (0 where they overlap).
        const qint64 dx = std::max(
            {qint64{0}, qint64{screen.left()} - frame.right(), qint64{frame.left()} - screen.right()});
        const qint64 dy = std::max(
            {qint64{0}, qint64{screen.top()} - frame.bottom(), qint64{frame.top()} - screen.bottom()});
        const qint64 distance = dx * dx + dy * dy;
        if (nearest == nullptr || distance < nearestDistance) {
            nearest = &screen;
            nearestDistance = distance;
        }
    }
    if (nearest == nullptr) {
        return frame.topLeft();
    }
    const int x = std::max(nearest->left(), std::min(frame.left(), nearest->right() - frame.width() + 1));
    const int y = std::max(nearest->top(), std::min(frame.top(), nearest->bottom() - frame.height() + 1));
    return {x, y};
}

std::optional<std::string> FileToOpenAtStart(int argc, char** argv) {
    if (argc != 2) {
        return std::nullopt;
    }
    const QFileInfo file(QFile::decodeName(argv[1]));
    if (!file.isFile()) {
        return std::nullopt;
    }
    return ToPath(QDir::cleanPath(file.absoluteFilePath()));
}

TForm1::TForm1(Platform& platform, SentenceAssembler& assembler, WindowDialogs& dialogs,
               std::string executableName, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      platform_(platform),
      assembler_(assembler),
      dialogs_(dialogs),
      executableName_(std::move(executableName)),
      programDirectory_(platform.ProgramDirectory()),
      defaultSettingsPath_(DefaultSettingsPath(platform, executableName_)),
      settingsDirectory_(DirectoryPart(defaultSettingsPath_)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromLatin1(kWindowCaptionLead) + QString::fromLatin1(kProgramVersion));
    setWindowIcon(DrawWindowIcon());
    setFont(SansFont(11));
    setFixedSize(350, 382);
    move(426, 199);

    BuildControls();
    BuildExtrasAccess();
    ConnectHandlers();

    edit2FullPath_.clear();
    ui_.Edit2->clear();
    settingsBaseline_ = LoadSettings(defaultSettingsPath_, *this);
    FormCreate();
}

void TForm1::BuildControls() {
    const QFont fieldFont = FontOf({QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"),
                                    QStringLiteral("Nimbus Roman"), QStringLiteral("DejaVu Serif")},
                                   13);

    ui_.Image1 = Place<QLabel>(this, "Image1", 8, 0, 185, 161);
    ui_.Image1->setPixmap(DrawLogo());
    ui_.Image1->setScaledContents(true);

    ui_.GroupBox1 = PlaceGroup(this, "GroupBox1", ">>>Input", 0, 176, 202, 73);
    ui_.RadioGroup1 = PlaceGroup(ui_.GroupBox1, "RadioGroup1", "Format ", 5, 13, 192, 32);
    ui_.RadioGroup1Items = new QButtonGroup(ui_.RadioGroup1);
    auto* nmea = Place<QRadioButton>(ui_.RadioGroup1, "RadioGroup1Nmea", 8, 13, 88, 17);
    nmea->setText(QStringLiteral("NMEA"));
    auto* binr = Place<QRadioButton>(ui_.RadioGroup1, "RadioGroup1Binr", 100, 13, 88, 17);
    binr->setText(QStringLiteral("BINR"));
    ui_.RadioGroup1Items->addButton(nmea, 0);
    ui_.RadioGroup1Items->addButton(binr, 1);
    nmea->setChecked(true);
    ui_.Edit1 = Place<QLineEdit>(ui_.GroupBox1, "Edit1", 5, 47, 167, 21);
    ui_.Edit1->setFont(fieldFont);
    ui_.SpeedButtonOpen =
        PlaceButton(ui_.GroupBox1, "SpeedButtonOpen", DrawOpenFolderGlyph(), 175, 46, 23, 23);

    ui_.GroupBox10 = PlaceGroup(this, "GroupBox10", ">>>Output(.kmz)", 0, 248, 202, 40);
    ui_.Edit6 = Place<QLineEdit>(ui_.GroupBox10, "Edit6", 5, 15, 167, 21);
    ui_.Edit6->setFont(fieldFont);
    ui_.SpeedButtonSave =
        PlaceButton(ui_.GroupBox10, "SpeedButtonSave", DrawOpenFolderGlyph(), 175, 14, 23, 23);

    ui_.GroupBox3 = PlaceGroup(this, "GroupBox3", " Settings", 202, 0, 147, 285);

    ui_.GroupBox5 = PlaceGroup(ui_.GroupBox3, "GroupBox5", " Style Track", 4, 13, 141, 122);
    ui_.Label1 = PlaceLabel(ui_.GroupBox5, "Label1", "Valid Track", 8, 17, 100, 14);
    ui_.ShapeStyleTrack = PlaceSwatch(ui_.GroupBox5, "ShapeStyleTrack", 116, 15);
    ui_.Label3 = PlaceLabel(ui_.GroupBox5, "Label3", "All waypoints", 8, 37, 100, 14);
    ui_.ShapeFullTrack = PlaceSwatch(ui_.GroupBox5, "ShapeFullTrack", 116, 35);
    ui_.Width = PlaceLabel(ui_.GroupBox5, "Width", "Width of the track", 8, 58, 92, 14);
    ui_.Edit3 = PlaceReadOnlyField(ui_.GroupBox5, "Edit3", "5", 100, 55, 22, 19);
    ui_.UpDown1 = Place<UpDown>(ui_.GroupBox5, "UpDown1", 122, 55, 14, 19);
    ui_.CheckBox4 = PlaceCheckBox(ui_.GroupBox5, "CheckBox4", "Start first fix", 6, 78, 130, 17);
    ui_.CheckBox2 = PlaceCheckBox(ui_.GroupBox5, "CheckBox2", "Use all the waypoints", 6, 98, 130, 17);

    ui_.GroupBox11 = PlaceGroup(ui_.GroupBox3, "GroupBox11", " Waypoints", 4, 134, 141, 72);
    ui_.GroupBox7 = PlaceGroup(ui_.GroupBox11, "GroupBox7", "Valid", 4, 13, 37, 37);
    ui_.ShapeRightPoint = PlaceSwatch(ui_.GroupBox7, "ShapeRightPoint", 10, 15);
    ui_.GroupBox8 = PlaceGroup(ui_.GroupBox11, "GroupBox8", "Invalid", 43, 13, 41, 37);
    ui_.ShapeIncorPoint = PlaceSwatch(ui_.GroupBox8, "ShapeIncorPoint", 12, 15);
    ui_.GroupBox6 = PlaceGroup(ui_.GroupBox11, "GroupBox6", "Scale ", 86, 13, 51, 37);
    ui_.Edit4 = PlaceReadOnlyField(ui_.GroupBox6, "Edit4", "0.5", 3, 14, 33, 19);
    ui_.UpDown2 = Place<UpDown>(ui_.GroupBox6, "UpDown2", 36, 14, 12, 19);
    ui_.CheckBox3 = PlaceCheckBox(ui_.GroupBox11, "CheckBox3", "Show value of height", 6, 52, 130, 17);

    ui_.GroupBox4 = PlaceGroup(ui_.GroupBox3, "GroupBox4", "Date(yyyy-mm-dd)", 4, 205, 117, 37);
    ui_.CheckBox1 = PlaceCheckBox(ui_.GroupBox4, "CheckBox1", "", 6, 16, 16, 16);
    ui_.CheckBox1->setChecked(true);
    ui_.MaskEdit1 = new DateMaskEdit(ui_.GroupBox4);
    ui_.MaskEdit1->setObjectName(QStringLiteral("MaskEdit1"));
    ui_.MaskEdit1->setGeometry(25, 14, 86, 19);
    ui_.MaskEdit1->setFont(SansFont(12));
    ui_.MaskEdit1->setDateText("2000-01-01");

    ui_.GroupBox12 = PlaceGroup(ui_.GroupBox3, "GroupBox12", "D-Track", 4, 242, 141, 38);
    ui_.Edit7 = PlaceReadOnlyField(ui_.GroupBox12, "Edit7", "1", 6, 14, 22, 19);
    ui_.UpDown3 = Place<UpDown>(ui_.GroupBox12, "UpDown3", 28, 14, 14, 19);
    ui_.Label2 = PlaceLabel(ui_.GroupBox12, "Label2", "Valid D-Tack", 48, 17, 64, 14);
    ui_.ShapeDTrack = PlaceSwatch(ui_.GroupBox12, "ShapeDTrack", 116, 15);

    ui_.GroupBox9 = PlaceGroup(this, "GroupBox9", "", 0, 284, 349, 35);
    ui_.SpeedButton3 = PlaceButton(ui_.GroupBox9, "SpeedButton3", DrawGlobeGlyph(), 5, 8, 57, 22);
    ui_.SpeedButton3->setText(QStringLiteral("Run"));
    ui_.SpeedButton3->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    ui_.SpeedButton3->setEnabled(false);
    ui_.CGauge1 = Place<BarGauge>(ui_.GroupBox9, "CGauge1", 64, 8, 280, 22);
    ui_.CGauge1->setRange(0, 100);
    ui_.CGauge1->setValue(0);

    ui_.GroupBox2 = PlaceGroup(this, "GroupBox2", "Configuration", 0, 320, 349, 40);
    ui_.Edit2 = Place<QLineEdit>(ui_.GroupBox2, "Edit2", 5, 15, 294, 21);
    ui_.SpeedButton1 = PlaceButton(ui_.GroupBox2, "SpeedButton1", DrawOpenFolderGlyph(), 301, 14, 23, 23);
    ui_.SpeedButton2 = PlaceButton(ui_.GroupBox2, "SpeedButton2", DrawFloppyGlyph(), 324, 14, 23, 23);

    ui_.Panel2 = Place<QLabel>(this, "Panel2", -1, 360, 178, 20);
    ui_.Panel3 = Place<QLabel>(this, "Panel3", 175, 360, 173, 20);
    for (QLabel* pane : {ui_.Panel2, ui_.Panel3}) {
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pane->setAlignment(Qt::AlignCenter);
    }
}

void TForm1::BuildExtrasAccess() {
    ui_.ActionExtras = new QAction(QString::fromUtf8("Extras…"), this);
    ui_.ActionExtras->setObjectName(QStringLiteral("ActionExtras"));
    ui_.ActionExtras->setShortcut(QKeySequence(QString::fromLatin1(kExtrasShortcut)));
    ui_.ActionExtras->setShortcutContext(Qt::WindowShortcut);
    addAction(ui_.ActionExtras);
    ui_.Image1->addAction(ui_.ActionExtras);
    ui_.Image1->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void TForm1::ConnectHandlers() {
    connect(ui_.Edit1, &QLineEdit::textChanged, this, &TForm1::Edit1Change);
    connect(ui_.Edit6, &QLineEdit::textChanged, this, &TForm1::Edit6Change);
    connect(ui_.Edit2, &QLineEdit::textChanged, this, &TForm1::Edit2Change);
    connect(ui_.SpeedButtonOpen, &QToolButton::clicked, this, &TForm1::SpeedButtonOpenClick);
    connect(ui_.SpeedButtonSave, &QToolButton::clicked, this, &TForm1::SpeedButtonSaveClick);
    connect(ui_.SpeedButton1, &QToolButton::clicked, this, &TForm1::SpeedButton1Click);
    connect(ui_.SpeedButton2, &QToolButton::clicked, this, &TForm1::SpeedButton2Click);
    connect(ui_.SpeedButton3, &QToolButton::clicked, this, &TForm1::SpeedButton3Click);
    connect(ui_.ShapeStyleTrack, &ColorSwatch::mousePressed, this, &TForm1::ShapeStyleTrackMouseDown);
    connect(ui_.ShapeFullTrack, &ColorSwatch::mousePressed, this, &TForm1::ShapeFullTrackMouseDown);
    connect(ui_.ShapeRightPoint, &ColorSwatch::mousePressed, this, &TForm1::ShapeRightPointMouseDown);
    connect(ui_.ShapeIncorPoint, &ColorSwatch::mousePressed, this, &TForm1::ShapeIncorPointMouseDown);
    connect(ui_.ShapeDTrack, &ColorSwatch::mousePressed, this, &TForm1::ShapeDTrackMouseDown);
    connect(ui_.UpDown1, &UpDown::clicked, this, &TForm1::UpDown1Click);
    connect(ui_.UpDown2, &UpDown::clicked, this, &TForm1::UpDown2Click);
    connect(ui_.UpDown3, &UpDown::clicked, this, &TForm1::UpDown3Click);
    // toggled, not clicked: a state changed by the program (a settings load) runs
    // the handler too, a state set to what it already is does not.
    connect(ui_.CheckBox1, &QCheckBox::toggled, this, &TForm1::CheckBox1Click);
    connect(ui_.CheckBox2, &QCheckBox::toggled, this, &TForm1::CheckBox2Click);
    connect(ui_.MaskEdit1, &DateMaskEdit::invalidInput, this, &TForm1::MaskEdit1ValidateError);
    connect(ui_.ActionExtras, &QAction::triggered, this, &TForm1::ActionExtrasExecute);
}

void TForm1::FormCreate() { setAcceptDrops(true); }

ConversionSettings TForm1::CurrentConversionSettings() const {
    // Batch command lines never reach the window: every run here is interactive.
    return MakeConversionSettings(DisplayValues(), FileField{ToPath(ui_.Edit1->text()), edit1FullPath_},
                                  FileField{ToPath(ui_.Edit6->text()), edit6FullPath_},
                                  LogFormatOfIndex(ui_.RadioGroup1Items->checkedId()), true);
}

// --- file fields -------------------------------------------------------------

void TForm1::SetFullPath(QLineEdit* field, std::string& fullPath, const std::string& path) {
    fullPath = path;
    field->setToolTip(FromPath(path));
}

bool TForm1::RunAllowed() const { return RunEnabled(ToPath(ui_.Edit1->text()), ToPath(ui_.Edit6->text())); }

void TForm1::UpdateRunButton() { ui_.SpeedButton3->setEnabled(!running_ && RunAllowed()); }

void TForm1::Edit1Change(const QString& text) {
    FileField edit1{ToPath(text), edit1FullPath_};
    tervo::Edit1Change(edit1, ToPath(text), programDirectory_);
    SetFullPath(ui_.Edit1, edit1FullPath_, edit1.fullPath);
    UpdateRunButton();
}

// The output field keeps its full path as it is (see MakeConversionSettings);
// a change only decides whether Run is enabled.
void TForm1::Edit6Change(const QString&) { UpdateRunButton(); }

void TForm1::Edit2Change(const QString& text) {
    FileField edit2{ToPath(text), edit2FullPath_};
    tervo::Edit2Change(edit2, ToPath(text));
    SetFullPath(ui_.Edit2, edit2FullPath_, edit2.fullPath);
}

void TForm1::ShowInputFile(const std::string& path) {
    FileField edit1{ToPath(ui_.Edit1->text()), edit1FullPath_};
    FileField edit6{ToPath(ui_.Edit6->text()), edit6FullPath_};
    SetInputFile(edit1, edit6, path, programDirectory_);
    // With the chosen path kept first, the change handler keeps its directory.
    SetFullPath(ui_.Edit1, edit1FullPath_, path);
    ui_.Edit1->clear();
    ui_.Edit1->setText(FromPath(edit1.text));
    SetFullPath(ui_.Edit1, edit1FullPath_, edit1.fullPath);
    SetFullPath(ui_.Edit6, edit6FullPath_, edit6.fullPath);
    ui_.Edit6->clear();
    ui_.Edit6->setText(FromPath(edit6.text));
}

void TForm1::OpenInputFile(const std::string& path) {
    ShowInputFile(path);
    UpdateRunButton();
}

void TForm1::SpeedButtonOpenClick() {
    FileDialogRequest request;
    request.title = "Open";
    request.directory = ui_.Edit1->text().isEmpty() ? programDirectory_ : DirectoryPart(edit1FullPath_);
    std::optional<std::string> chosen = dialogs_.GetOpenFileName(this, request);
    if (!chosen) {
        return;
    }
    ShowInputFile(*chosen);
}

void TForm1::SpeedButtonSaveClick() {
    FileDialogRequest request;
    request.title = "Save as ";
    request.directory = DirectoryPart(edit6FullPath_);
    if (!ui_.Edit6->text().isEmpty()) {
        saveDialog1FileName_ = edit6FullPath_;
    }
    request.fileName = saveDialog1FileName_;
    std::optional<std::string> chosen = dialogs_.GetSaveFileName(this, request);
    if (!chosen) {
        return;
    }
    saveDialog1FileName_ = *chosen;
    FileField edit6{ToPath(ui_.Edit6->text()), edit6FullPath_};
    SetOutputFile(edit6, *chosen);
    SetFullPath(ui_.Edit6, edit6FullPath_, edit6.fullPath);
    ui_.Edit6->clear();
    ui_.Edit6->setText(FromPath(edit6.text));
}

// --- settings file -------------------------------------------------------------

namespace {

std::vector<FileFilter> ConfigurationFilters() {
    return {{"Configuration (*.ini)", "*.ini"}, {"All files ", "*.*"}};
}

}  // namespace

void TForm1::SpeedButton1Click() {
    FileDialogRequest request;
    request.title = "Open ";
    request.filters = ConfigurationFilters();
    std::optional<std::string> chosen = dialogs_.GetOpenFileName(this, request);
    if (!chosen) {
        return;
    }
    try {
        ui_.Edit2->clear();
        ui_.Edit2->setText(FromPath(FileNamePart(*chosen)));
        SetFullPath(ui_.Edit2, edit2FullPath_, *chosen);
        settingsBaseline_ = LoadSettings(*chosen, *this);
    } catch (const std::exception& error) {
        ShowError(error.what());
    }
}

void TForm1::SpeedButton2Click() {
    FileDialogRequest request;
    request.title = "Save as";
    request.filters = ConfigurationFilters();
    request.directory = settingsDirectory_;
    request.fileName = FileNamePart(defaultSettingsPath_);
    std::optional<std::string> chosen = dialogs_.GetSaveFileName(this, request);
    if (!chosen) {
        return;
    }
    try {
        SaveSettings(*chosen, *this, settingsDirectory_, defaultSettingsPath_);
    } catch (const std::exception& error) {
        ShowError(error.what());
    }
}

// --- display settings ----------------------------------------------------------

void TForm1::ChooseColor(ColorSwatch* swatch) {
    std::optional<int32_t> chosen = dialogs_.GetColor(this, swatch->color());
    if (chosen) {
        swatch->setColor(*chosen);
    }
}

void TForm1::ShapeStyleTrackMouseDown() { ChooseColor(ui_.ShapeStyleTrack); }

void TForm1::ShapeFullTrackMouseDown() { ChooseColor(ui_.ShapeFullTrack); }

void TForm1::ShapeRightPointMouseDown() { ChooseColor(ui_.ShapeRightPoint); }

void TForm1::ShapeIncorPointMouseDown() { ChooseColor(ui_.ShapeIncorPoint); }

void TForm1::ShapeDTrackMouseDown() { ChooseColor(ui_.ShapeDTrack); }

void TForm1::UpDown1Click(UpDownButton button) {
    ShowFieldText(ui_.Edit3, StepWidth(ui_.Edit3->text().toStdString(), button == UpDownButton::Up));
}

void TForm1::UpDown2Click(UpDownButton button) {
    ShowFieldText(ui_.Edit4, StepScale(ui_.Edit4->text().toStdString(), button == UpDownButton::Up));
}

void TForm1::UpDown3Click(UpDownButton button) {
    ShowFieldText(ui_.Edit7, StepWidth(ui_.Edit7->text().toStdString(), button == UpDownButton::Up));
}

void TForm1::CheckBox1Click() { ui_.MaskEdit1->setEnabled(ui_.CheckBox1->isChecked()); }

void TForm1::CheckBox2Click() { UpdateFullTrackControls(); }

void TForm1::MaskEdit1ValidateError() {
    ShowError("Invalid input value.  Use escape key to abandon changes");
}

void TForm1::ActionExtrasExecute() {
    // A run reads its settings once, at its start: a change now would be saved
    // but not used. The lock disables the action; this also covers the moment
    // between the unlock and the run's end.
    if (running_) {
        return;
    }
    if (std::optional<Extras> chosen = dialogs_.EditExtras(this, extras_)) {
        extras_ = *chosen;
    }
}

// --- the run ---------------------------------------------------------------------

void TForm1::SpeedButton3Click() {
    // During a live run the button reads "Stop".
    if (liveStopFd_ >= 0) {
        StopLive();
        return;
    }
    if (running_ || !RunAllowed()) {
        return;
    }
    // An incomplete date is checked here, as leaving the field would check it:
    // the error box comes before the run, and the run waits for a complete date
    // (or Escape). The lock would take the focus from the field without a check.
    if (!ui_.MaskEdit1->checkEdit()) {
        return;
    }
    if (LooksLikeLiveSource(ToPath(ui_.Edit1->text()))) {
        RunLive(ToPath(ui_.Edit1->text()));
        return;
    }
    running_ = true;
    ConversionResult result = ConversionResult::Completed;
    RunReport report;
    try {
        result = RunConversion(CurrentConversionSettings(), *this, assembler_, platform_, gate_, &report);
    } catch (...) {
        ShowRunError(EndingOfError(std::current_exception()));
    }
    running_ = false;
    // The summary comes after the run's own final message, once the controls are free again.
    if (result == ConversionResult::Completed && report.Summary && extras_.ShowSummary.value_or(0) != 0) {
        dialogs_.ShowSummary(this, SummaryTableText(report), report.Plots);
    }
    // A reference that no fix matched: the KMZ file holds no accuracy, and the window says why.
    if (result == ConversionResult::Completed && report.Reference == ReferenceTrouble::NothingMatched) {
        dialogs_.ShowMessage(this, MessageIcon::Warning, kApplicationTitle,
                             OneLine(EndingOf(result, report, CurrentConversionSettings().InputPath)));
    }
    // A log that looks like the other format: offer to switch and convert again.
    if (result == ConversionResult::LooksLikeBinr || result == ConversionResult::LooksLikeNmea) {
        const bool binr = result == ConversionResult::LooksLikeBinr;
        const std::string question =
            std::string("The input file looks like ") + (binr ? "a BINR log" : "an NMEA log") + ", not " +
            (binr ? "an NMEA" : "a BINR") + " one.\nConvert it as " + (binr ? "BINR" : "NMEA") + "?";
        if (dialogs_.AskYesNo(this, kApplicationTitle, question)) {
            ui_.RadioGroup1Items->button(binr ? 1 : 0)->setChecked(true);
            SpeedButton3Click();
            return;
        }
    }
    if (closePending_) {
        closePending_ = false;
        QTimer::singleShot(0, this, [this] { close(); });
    }
}

void TForm1::ShowRunError(const RunEnding& ending) {
    if (ending.Status == kExitFileNotCreated) {
        // The path is in the text; the system's reason goes on a line of its own.
        ShowError(ending.Reason.empty() ? ending.Text : WithFullStop(ending.Text) + "\n" + ending.Reason);
        return;
    }
    // Whatever else ended the run (memory exhausted, say): the run has unlocked
    // the controls; the message goes to the status pane and a box.
    ShowStatus(ending.Text);
    ShowError(ending.Text);
}

void TForm1::ShowStatus(const std::string& text) { ui_.Panel2->setText(QString::fromStdString(text)); }

void TForm1::ShowCount(const std::string& text) { ui_.Panel3->setText(QString::fromStdString(text)); }

void TForm1::ResetProgress() { ui_.CGauge1->setValue(0); }

void TForm1::StepProgress() { ui_.CGauge1->setValue(ui_.CGauge1->value() + 1); }

void TForm1::SetOutputPath(const std::string& path) { SetFullPath(ui_.Edit6, edit6FullPath_, path); }

void TForm1::DisableRun() { ui_.SpeedButton3->setEnabled(false); }

void TForm1::LockControls() {
    ui_.GroupBox3->setEnabled(false);
    ui_.GroupBox3->setCaptionColor(GreyText());
    ui_.GroupBox5->setCaptionColor(GreyText());
    for (QWidget* control :
         std::initializer_list<QWidget*>{ui_.Label1, ui_.Label3, ui_.Width, ui_.Edit3, ui_.CheckBox2,
                                         ui_.CheckBox4, ui_.CheckBox3, ui_.CheckBox1}) {
        control->setEnabled(false);
    }
    ui_.GroupBox2->setEnabled(false);
    ui_.GroupBox2->setCaptionColor(GreyText());
    ui_.GroupBox1->setEnabled(false);
    ui_.GroupBox1->setCaptionColor(GreyText());
    ui_.Edit1->setEnabled(false);
    ui_.GroupBox10->setEnabled(false);
    ui_.GroupBox10->setCaptionColor(GreyText());
    ui_.Edit6->setEnabled(false);
    ui_.ActionExtras->setEnabled(false);
}

void TForm1::UnlockControls() {
    // Run as the fields allow it (UnlockControls comes while the run is still on).
    ui_.SpeedButton3->setEnabled(RunAllowed());
    for (QWidget* control : std::initializer_list<QWidget*>{
             ui_.GroupBox3, ui_.Label1, ui_.Label3, ui_.Width, ui_.Edit3, ui_.CheckBox2, ui_.CheckBox4,
             ui_.CheckBox3, ui_.CheckBox1, ui_.GroupBox2, ui_.GroupBox1, ui_.Edit1, ui_.GroupBox10,
             ui_.Edit6}) {
        control->setEnabled(true);
    }
    ui_.ActionExtras->setEnabled(true);
    for (CaptionGroupBox* group :
         {ui_.GroupBox3, ui_.GroupBox5, ui_.GroupBox2, ui_.GroupBox1, ui_.GroupBox10}) {
        group->setCaptionColor(Qt::black);
    }
}

void TForm1::ProcessPendingEvents() {
    // Reading the clock costs more than the work a byte of a log takes, so in a
    // run it is read every kCallsPerClockCheck calls; that is still every few
    // microseconds. Outside a run each call looks at the clock.
    if (running_ && --callsBeforeClock_ > 0) {
        return;
    }
    callsBeforeClock_ = kCallsPerClockCheck;
    if (eventClock_.isValid() && eventClock_.elapsed() < kEventIntervalMs) {
        return;
    }
    QCoreApplication::processEvents();
    eventClock_.start();
}

void TForm1::ShowInformation(const std::string& text) {
    dialogs_.ShowMessage(this, MessageIcon::Information, kApplicationTitle, text);
}

void TForm1::ShowError(const std::string& text) {
    dialogs_.ShowMessage(this, MessageIcon::Error, kApplicationTitle, WithFullStop(text));
}

// --- settings controls -------------------------------------------------------------

WindowSettings TForm1::ReadControls() { return DisplayValues(); }

WindowSettings TForm1::DisplayValues() const {
    WindowSettings values;
    values.CheckBox1 = ui_.CheckBox1->isChecked();
    values.MaskEdit1 = ui_.MaskEdit1->dateText();
    values.ShapeStyleTrack = ui_.ShapeStyleTrack->color();
    values.ShapeFullTrack = ui_.ShapeFullTrack->color();
    values.Edit3 = ui_.Edit3->text().toStdString();
    values.CheckBox2 = ui_.CheckBox2->isChecked();
    values.CheckBox4 = ui_.CheckBox4->isChecked();
    values.ShapeRightPoint = ui_.ShapeRightPoint->color();
    values.ShapeIncorPoint = ui_.ShapeIncorPoint->color();
    values.CheckBox3 = ui_.CheckBox3->isChecked();
    values.Edit4 = ui_.Edit4->text().toStdString();
    values.ShapeDTrack = ui_.ShapeDTrack->color();
    values.Edit7 = ui_.Edit7->text().toStdString();
    const QPoint position = settingsPosition_ && pos() == placedPosition_ ? *settingsPosition_ : pos();
    values.Left = position.x();
    values.Top = position.y();
    values.Extras = extras_;
    return values;
}

void TForm1::ApplyDisplayValues(const WindowSettings& values) {
    ui_.CheckBox1->setChecked(values.CheckBox1);
    ui_.MaskEdit1->setDateText(values.MaskEdit1);
    ui_.MaskEdit1->setEnabled(values.CheckBox1);
    ui_.ShapeStyleTrack->setColor(values.ShapeStyleTrack);
    ui_.ShapeFullTrack->setColor(values.ShapeFullTrack);
    ShowFieldText(ui_.Edit3, values.Edit3);
    ui_.CheckBox3->setChecked(values.CheckBox3);
    ui_.CheckBox4->setChecked(values.CheckBox4);
    ui_.ShapeRightPoint->setColor(values.ShapeRightPoint);
    ui_.ShapeIncorPoint->setColor(values.ShapeIncorPoint);
    ui_.CheckBox2->setChecked(values.CheckBox2);
    ShowFieldText(ui_.Edit4, values.Edit4);
    ShowFieldText(ui_.Edit7, values.Edit7);
    ui_.ShapeDTrack->setColor(values.ShapeDTrack);
    extras_ = values.Extras;
}

void TForm1::UpdateFullTrackControls() {
    const bool enabled = ui_.CheckBox2->isChecked();
    ui_.Label3->setEnabled(enabled);
    ui_.ShapeFullTrack->setEnabled(enabled);
}

void TForm1::MoveWindow(int32_t left, int32_t top) {
    // A file saved on another monitor layout can hold a position off every screen.
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
        screens.append(screen->availableGeometry());
    }
    const QPoint wanted(left, top);
    // Far enough to be off any screen, near enough that the frame's right and
    // bottom edges stay within int.
    constexpr int kFar = 1 << 24;
    const QPoint near(std::clamp(left, -kFar, kFar), std::clamp(top, -kFar, kFar));
    const QPoint placed = PositionOnScreens(QRect(near, frameGeometry().size()), screens);
    move(placed);
    settingsPosition_.reset();
    if (placed != wanted) {
        settingsPosition_ = wanted;
        placedPosition_ = pos();
    }
}

// --- closing and dropping -----------------------------------------------------------

void TForm1::closeEvent(QCloseEvent* event) { FormClose(event); }

void TForm1::FormClose(QCloseEvent* event) {
    if (running_) {
        // The run goes on to its end inside the Run handler; the window and its
        // settings must outlive it, so the dialogue waits for it. A live run
        // ends its receiving for it.
        closePending_ = true;
        StopLive();
        event->ignore();
        return;
    }
    if (!SettingsChanged(ReadControls(), settingsBaseline_)) {
        event->accept();
        return;
    }
    if (!dialogs_.AskYesNo(this, "Information", "The settings were changed. Save them?")) {
        event->accept();
        return;
    }
    try {
        SaveSettings(edit2FullPath_, *this, settingsDirectory_, defaultSettingsPath_);
        event->accept();
    } catch (const std::exception& error) {
        ShowError(error.what());
        event->ignore();
    }
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (!running_ && event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void TForm1::dropEvent(QDropEvent* event) {
    // A run works on its own copy of the fields, but a drop would enable Run again
    // in the middle of it; drops wait for no run and are simply refused.
    if (running_ || !event->mimeData()->hasUrls()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    DropFiles(event->mimeData()->urls());
}

void TForm1::DropFiles(const QList<QUrl>& urls) {
    if (urls.size() > 1) {
        dialogs_.ShowMessage(this, MessageIcon::Warning, "Warning",
                             "Работа с несколькими файлами не поддерживается!");
        return;
    }
    if (urls.isEmpty() || !urls.constFirst().isLocalFile()) {
        return;
    }
    OpenInputFile(ToPath(urls.constFirst().toLocalFile()));
}

}  // namespace tervo
