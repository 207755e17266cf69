#include "app/window/extras_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

namespace tervo {

namespace {

// Enough for metres, seconds and degrees; finer values from a settings file
// survive through ExtrasDialog::Values.
constexpr int kNumberDecimals = 3;

int ClampToInt(double value) {
    return static_cast<int>(std::clamp(value, static_cast<double>(std::numeric_limits<int>::min()),
                                       static_cast<double>(std::numeric_limits<int>::max())));
}

}  // namespace

ExtrasDialog::ExtrasDialog(const Extras& initial, QWidget* parent) : QDialog(parent), initial_(initial) {
    setObjectName(QStringLiteral("ExtrasDialog"));
    setWindowTitle(QStringLiteral("Extras"));
    auto* grid = new QGridLayout;
    int line = 0;
    for (const ExtraKey& key : ExtraKeys()) {
        // A text has no number: its member is a text's.
        const bool isText = key.Kind == ExtraKind::Text;
        static const std::optional<double> kNoNumber;
        const std::optional<double>& value = isText ? kNoNumber : initial.*key.Member;
        const QString help = QString::fromUtf8(key.Help);
        Row row;
        row.key = &key;
        row.asked = new QCheckBox(QString::fromUtf8(key.Label), this);
        row.asked->setObjectName(QString::fromLatin1(key.Key));
        row.asked->setToolTip(help);
        row.asked->setChecked(isText ? IsAsked(initial, key)
                                     : value.has_value() && (key.Kind != ExtraKind::Flag || *value != 0));
        grid->addWidget(row.asked, line, 0);
        QWidget* spin = nullptr;
        if (key.Kind == ExtraKind::Count) {
            row.count = new QSpinBox(this);
            row.count->setRange(ClampToInt(key.Min), ClampToInt(key.Max));
            row.count->setValue(ClampToInt(value.value_or(key.Min)));
            row.shown = row.count->value();
            spin = row.count;
        } else if (key.Kind == ExtraKind::Number) {
            row.number = new QDoubleSpinBox(this);
            row.number->setDecimals(kNumberDecimals);
            row.number->setRange(key.Min, key.Max);
            row.number->setValue(value.value_or(key.Min));
            row.shown = row.number->value();
            spin = row.number;
        } else if (key.Kind == ExtraKind::Choice) {
            row.choice = new QComboBox(this);
            for (const char* name : key.Choices) {
                row.choice->addItem(QString::fromUtf8(name));
            }
            row.choice->setCurrentIndex(
                static_cast<int>(std::clamp(value.value_or(key.Min), key.Min, key.Max)));
            spin = row.choice;
        } else if (key.Kind == ExtraKind::Text) {
            row.text = new QLineEdit(QString::fromStdString(AskedText(initial, key)), this);
            row.text->setPlaceholderText(QString::fromUtf8(key.TextMeaning));
            spin = row.text;
        }
        if (spin != nullptr) {
            spin->setObjectName(QString::fromLatin1(key.Key) + QStringLiteral("Value"));
            spin->setToolTip(help);
            spin->setEnabled(row.asked->isChecked());
            connect(row.asked, &QCheckBox::toggled, spin, &QWidget::setEnabled);
            grid->addWidget(spin, line, 1);
        }
        rows_.push_back(row);
        ++line;
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
}

Extras ExtrasDialog::Values() const {
    Extras values = initial_;
    for (const Row& row : rows_) {
        if (row.text != nullptr) {
            if (!row.asked->isChecked()) {
                ClearExtra(values, *row.key);
            } else {
                SetExtra(values, *row.key, row.text->text().toStdString());
            }
            continue;
        }
        const std::optional<double>& before = initial_.*row.key->Member;
        std::optional<double>& value = values.*row.key->Member;
        if (row.key->Kind == ExtraKind::Flag) {
            // An unchecked flag never asked for stays unasked, so a preset can still fill it in.
            if (row.asked->isChecked()) {
                value = 1;
            } else if (before) {
                value = 0;
            }
            continue;
        }
        if (!row.asked->isChecked()) {
            value.reset();
            continue;
        }
        if (row.choice != nullptr) {
            value = row.choice->currentIndex();
            continue;
        }
        const double now = row.count != nullptr ? row.count->value() : row.number->value();
        value = before && now == row.shown ? *before : now;
    }
    return values;
}

}  // namespace tervo
