// The Extras dialog: a control for every extra of ExtraKeys(), in a box titled
// after its group (ExtraGroups) and in the table's order, so that an extra added
// to the table appears here without more code. The boxes lie one below the other
// in a scroll area: every extra stays in one list that shows at a glance what is
// ticked, and the dialog never grows taller than the screen.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "run/extras.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace tervo {

// A flag is one check box named after its key ("Regions"). A number or count is
// a check box "asked for" named after its key and a spin box named after the key
// with "Value" appended ("ThinSecondsValue"), limited to the key's range and
// enabled only while the box is checked; a choice has a combo box of its
// Choices in their place, named the same way; a text a line edit, named the
// same way, and when its value is a file (its TextMeaning is "FILE") a button
// "Choose…" named after the key with "Choose" appended, which asks `chooseFile`
// for the path. A value not asked for shows the key's Start. Every control's
// tooltip is the key's Help. OK keeps the dialog open while a checked text is
// refused, the reason in a label "Problem".
class ExtrasDialog : public QDialog {
public:
    // The path a file dialog chose, or nothing when it was cancelled.
    using FileChooser = std::function<std::optional<std::string>(QWidget* parent)>;

    explicit ExtrasDialog(const Extras& initial, QWidget* parent = nullptr, FileChooser chooseFile = {});

    // The extras as the controls hold them. A flag that was not asked for stays
    // so while unchecked; one that was is 0 when unchecked. A value shown as it
    // came in gives back the value that came in, not its rounding to the
    // spin box's decimals. A text its check refuses keeps the value that came in.
    Extras Values() const;

private:
    struct Row {
        const ExtraKey* key = nullptr;
        QCheckBox* asked = nullptr;
        QSpinBox* count = nullptr;         // a Count only
        QDoubleSpinBox* number = nullptr;  // a Number only
        QComboBox* choice = nullptr;       // a Choice only
        QLineEdit* text = nullptr;         // a Text only
        double shown = 0;                  // the spin box's value when the dialog opened
    };

    // The check box and value field of `key` on `line` of a group's `grid`.
    void AddRow(const ExtraKey& key, QWidget& box, QGridLayout& grid, int line);
    // The field beside a row's check box, made for its kind in `box`.
    QWidget* MakeValueField(Row& row, QWidget& box);
    // Why OK cannot close the dialog: a checked text refused; empty when it can.
    std::string Problem() const;

    Extras initial_;
    std::vector<Row> rows_;
    FileChooser chooseFile_;
    QLabel* problem_ = nullptr;
};

}  // namespace tervo
