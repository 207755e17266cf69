// The main window: the input and output files, the display settings, the
// settings file, the Run button, the gauge and the two status panes. It is the
// view of the conversions it runs and the controls of the settings file.
#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QWidget>
#include <optional>
#include <string>

#include "app/error_text.h"
#include "app/run_ending.h"
#include "app/settings.h"
#include "app/window/widgets.h"
#include "app/window/window_dialogs.h"
#include "core/platform.h"
#include "nmea/sentence.h"
#include "run/conversion.h"
#include "run/conversion_view.h"

class QAction;
class QCheckBox;
class QButtonGroup;
class QLabel;
class QLineEdit;
class QToolButton;

namespace tervo {

inline constexpr const char* kApplicationTitle = "TervoConverter";
// The caption is this followed by kProgramVersion: "TervoConverter  Ver 5.2".
inline constexpr const char* kWindowCaptionLead = "TervoConverter  Ver ";

// The controls, under the names they carry as objectName and in the settings file.
struct TForm1Controls {
    QLabel* Image1 = nullptr;
    CaptionGroupBox* GroupBox1 = nullptr;
    CaptionGroupBox* RadioGroup1 = nullptr;
    QButtonGroup* RadioGroup1Items = nullptr;
    QLineEdit* Edit1 = nullptr;
    QToolButton* SpeedButtonOpen = nullptr;
    CaptionGroupBox* GroupBox10 = nullptr;
    QLineEdit* Edit6 = nullptr;
    QToolButton* SpeedButtonSave = nullptr;
    CaptionGroupBox* GroupBox3 = nullptr;
    CaptionGroupBox* GroupBox5 = nullptr;
    QLabel* Label1 = nullptr;
    ColorSwatch* ShapeStyleTrack = nullptr;
    QLabel* Label3 = nullptr;
    ColorSwatch* ShapeFullTrack = nullptr;
    QLabel* Width = nullptr;
    QLineEdit* Edit3 = nullptr;
    UpDown* UpDown1 = nullptr;
    QCheckBox* CheckBox4 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    CaptionGroupBox* GroupBox11 = nullptr;
    CaptionGroupBox* GroupBox7 = nullptr;
    ColorSwatch* ShapeRightPoint = nullptr;
    CaptionGroupBox* GroupBox8 = nullptr;
    ColorSwatch* ShapeIncorPoint = nullptr;
    CaptionGroupBox* GroupBox6 = nullptr;
    QLineEdit* Edit4 = nullptr;
    UpDown* UpDown2 = nullptr;
    QCheckBox* CheckBox3 = nullptr;
    CaptionGroupBox* GroupBox4 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    DateMaskEdit* MaskEdit1 = nullptr;
    CaptionGroupBox* GroupBox12 = nullptr;
    QLineEdit* Edit7 = nullptr;
    UpDown* UpDown3 = nullptr;
    QLabel* Label2 = nullptr;
    ColorSwatch* ShapeDTrack = nullptr;
    CaptionGroupBox* GroupBox9 = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    BarGauge* CGauge1 = nullptr;
    CaptionGroupBox* GroupBox2 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QLabel* Panel2 = nullptr;
    QLabel* Panel3 = nullptr;
    // "Extras…": the logo's context menu and the window's shortcut kExtrasShortcut.
    QAction* ActionExtras = nullptr;
};

// Opens the Extras dialog anywhere in the window. Not Ctrl+E: a line edit takes
// that for "end of line" under the X11 key bindings, and the focus is mostly in one.
inline constexpr const char* kExtrasShortcut = "Ctrl+Shift+E";

class TForm1 : public QWidget, public ConversionView, public SettingsControls {
    Q_OBJECT
public:
    // Builds the window and loads the default settings file of `executableName`
    // (DefaultSettingsPath; the built-in defaults without it). `assembler` is the
    // program's one sentence assembler; every run gets it.
    TForm1(Platform& platform, SentenceAssembler& assembler, WindowDialogs& dialogs,
           std::string executableName, QWidget* parent = nullptr);

    // Takes `path` as the input, as if chosen with the folder button: the output
    // field proposes the same path with ".kmz" and Run follows the fields.
    void OpenInputFile(const std::string& path);

    const TForm1Controls& controls() const { return ui_; }
    // The full paths the three file fields keep (their tooltips).
    const std::string& Edit1FullPath() const { return edit1FullPath_; }
    const std::string& Edit6FullPath() const { return edit6FullPath_; }
    const std::string& Edit2FullPath() const { return edit2FullPath_; }
    // What the closing dialogue compares against: the values of the last load.
    const WindowSettings& SettingsBaseline() const { return settingsBaseline_; }
    // The values a run started now would get.
    ConversionSettings CurrentConversionSettings() const;
    bool Running() const { return running_; }
    // Decides each node allocation of the runs (tests); nullptr allows every node.
    void SetAllocationGate(AllocationGate* gate) { gate_ = gate; }

    // ConversionView
    void ShowStatus(const std::string& text) override;
    void ShowCount(const std::string& text) override;
    void ResetProgress() override;
    void StepProgress() override;
    void SetOutputPath(const std::string& path) override;
    void DisableRun() override;
    void LockControls() override;
    void UnlockControls() override;
    void ProcessPendingEvents() override;
    void ShowInformation(const std::string& text) override;

    // SettingsControls
    WindowSettings ReadControls() override;
    void ApplyDisplayValues(const WindowSettings& values) override;
    void UpdateFullTrackControls() override;
    void MoveWindow(int32_t left, int32_t top) override;

public slots:
    void FormCreate();
    void Edit1Change(const QString& text);
    void Edit6Change(const QString& text);
    void Edit2Change(const QString& text);
    void SpeedButtonOpenClick();
    void SpeedButtonSaveClick();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void ShapeStyleTrackMouseDown();
    void ShapeFullTrackMouseDown();
    void ShapeRightPointMouseDown();
    void ShapeIncorPointMouseDown();
    void ShapeDTrackMouseDown();
    void UpDown1Click(tervo::UpDownButton button);
    void UpDown2Click(tervo::UpDownButton button);
    void UpDown3Click(tervo::UpDownButton button);
    void CheckBox1Click();
    void CheckBox2Click();
    void MaskEdit1ValidateError();
    // Opens the Extras dialog (not during a run); OK keeps its values for the
    // next run and for the settings file.
    void ActionExtrasExecute();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildControls();
    // The way to the Extras dialog that leaves the form as it is: the logo's
    // context menu and a shortcut.
    void BuildExtrasAccess();
    // The fifteen values of the settings file and the extras as the window holds them.
    WindowSettings DisplayValues() const;
    void ConnectHandlers();
    void FormClose(QCloseEvent* event);
    void DropFiles(const QList<QUrl>& urls);
    // Edit1 shows the file at `path`; Edit6 proposes the same path with ".kmz".
    void ShowInputFile(const std::string& path);
    void ChooseColor(ColorSwatch* swatch);
    // The error box of a failed handler: caption "TervoConverter", the text with a
    // full stop unless it already ends in one.
    void ShowError(const std::string& text);
    // How a run that threw ended: an error box, and for an error other than a
    // file that could not be created, the status pane too.
    void ShowRunError(const RunEnding& ending);
    void SetFullPath(QLineEdit* field, std::string& fullPath, const std::string& path);
    // Whether the input and output fields both hold a name (file_fields RunEnabled).
    bool RunAllowed() const;
    // Run enabled exactly when RunAllowed; left disabled while a run goes on.
    void UpdateRunButton();
    // A live run from the source the input field names (live_window.cc): the
    // Run button reads "Stop" and ends it; the gauge steps with every piece
    // received, the panes show the live figures.
    void RunLive(const std::string& source);
    // Ends the receiving of a live run; the last KMZ file is then written.
    void StopLive();

    Platform& platform_;
    SentenceAssembler& assembler_;
    WindowDialogs& dialogs_;
    const std::string executableName_;
    const std::string programDirectory_;
    // The default settings file, and where a bare settings name goes: its directory.
    const std::string defaultSettingsPath_;
    const std::string settingsDirectory_;
    TForm1Controls ui_;
    std::string edit1FullPath_;
    std::string edit6FullPath_;
    std::string edit2FullPath_;
    // SaveDialog1 keeps the name of its last use when Edit6 is empty.
    std::string saveDialog1FileName_;
    WindowSettings settingsBaseline_;
    // What the Extras dialog or a settings file asked for; no control shows it.
    Extras extras_;
    // A window position of the settings file that was off every screen, and
    // where the window was put instead: while the window stays there, the
    // settings keep the file's position.
    std::optional<QPoint> settingsPosition_;
    QPoint placedPosition_;
    bool running_ = false;
    AllocationGate* gate_ = nullptr;
    // A close asked for during a run: the closing dialogue comes after the run.
    bool closePending_ = false;
    // The write end of a live run's stop pipe while it receives; -1 otherwise.
    int liveStopFd_ = -1;
    QElapsedTimer eventClock_;
    int callsBeforeClock_ = 1;
};

// The look the window's layout was drawn for (classic captions inline with the
// group frames); the program sets it once, before the window is built.
void UseWindowStyle();

// Where a window whose frame would be `frame` goes, given the available
// geometries of the screens: where it is when it overlaps any of them; else
// moved onto the nearest one, as far as it fits there (its top-left corner
// inside when it is larger). No screens: where it is.
QPoint PositionOnScreens(const QRect& frame, const QList<QRect>& screens);

// The input of an "Open with" start (a desktop entry's `tervoconverter %f`): the
// command line's one argument when it names an existing regular file, made
// absolute against the current directory. Nothing for any other command line.
std::optional<std::string> FileToOpenAtStart(int argc, char** argv);

}  // namespace tervo
