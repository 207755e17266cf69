#include "app/window/extras_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>
#include <string_view>

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

ExtrasDialog::ExtrasDialog(const Extras& initial, QWidget* parent, FileChooser chooseFile)
    : QDialog(parent), initial_(initial), chooseFile_(std::move(chooseFile)) {
    setObjectName(QStringLiteral("ExtrasDialog"));
    setWindowTitle(QStringLiteral("Extras"));
    auto* grid = new QGridLayout;
    int line = 0;
    for (const ExtraKey& key : ExtraKeys()) {
        Row row;
        row.key = &key;
        row.asked = new QCheckBox(QString::fromUtf8(key.Label), this);
        row.asked->setObjectName(QString::fromLatin1(key.Key));
        row.asked->setToolTip(QString::fromUtf8(key.Help));
        row.asked->setChecked(IsAsked(initial, key) &&
                              (key.Kind != ExtraKind::Flag || (initial.*key.Member).value_or(0) != 0));
        grid->addWidget(row.asked, line, 0);
        if (QWidget* value = MakeValueControl(row, initial)) {
            value->setObjectName(QString::fromLatin1(key.Key) + QStringLiteral("Value"));
            value->setToolTip(row.asked->toolTip());
            value->setEnabled(row.asked->isChecked());
            connect(row.asked, &QCheckBox::toggled, value, &QWidget::setEnabled);
            grid->addWidget(value, line, 1);
        }
        if (row.text != nullptr && std::string_view(key.TextMeaning) == "FILE") {
            auto* choose = new QPushButton(QString::fromUtf8("Choose\u2026"), this);
            choose->setObjectName(QString::fromLatin1(key.Key) + QStringLiteral("Choose"));
            choose->setEnabled(row.asked->isChecked());
            connect(row.asked, &QCheckBox::toggled, choose, &QWidget::setEnabled);
            QLineEdit* edit = row.text;
            connect(choose, &QPushButton::clicked, this, [this, edit] {
                if (!chooseFile_) {
                    return;
                }
                if (const std::optional<std::string> path = chooseFile_(this)) {
                    edit->setText(QString::fromStdString(*path));
                }
            });
            grid->addWidget(choose, line, 2);
        }
        rows_.push_back(row);
        ++line;
    }
    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("Problem"));
    problem_->setStyleSheet(QStringLiteral("color: #b00000"));
    problem_->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        const std::string problem = Problem();
        problem_->setText(QString::fromStdString(problem));
        if (problem.empty()) {
            accept();
        }
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(problem_);
    layout->addWidget(buttons);
}

QWidget* ExtrasDialog::MakeValueControl(Row& row, const Extras& initial) {
    const ExtraKey& key = *row.key;
    if (key.Kind == ExtraKind::Text) {
        row.text = new QLineEdit(QString::fromStdString((initial.*key.TextMember).value_or("")), this);
        row.text->setPlaceholderText(QString::fromUtf8(key.TextMeaning));
        return row.text;
    }
    const std::optional<double>& value = initial.*key.Member;
    if (key.Kind == ExtraKind::Count) {
        row.count = new QSpinBox(this);
        row.count->setRange(ClampToInt(key.Min), ClampToInt(key.Max));
        row.count->setValue(ClampToInt(value.value_or(key.Min)));
        row.shown = row.count->value();
        return row.count;
    }
    if (key.Kind == ExtraKind::Number) {
        row.number = new QDoubleSpinBox(this);
        row.number->setDecimals(kNumberDecimals);
        row.number->setRange(key.Min, key.Max);
        row.number->setValue(value.value_or(key.Min));
        row.shown = row.number->value();
        return row.number;
    }
    if (key.Kind == ExtraKind::Choice) {
        row.choice = new QComboBox(this);
        for (const char* name : key.Choices) {
            row.choice->addItem(QString::fromUtf8(name));
        }
        row.choice->setCurrentIndex(static_cast<int>(std::clamp(value.value_or(key.Min), key.Min, key.Max)));
        return row.choice;
    }
    return nullptr;
}

std::string ExtrasDialog::Problem() const {
    for (const Row& row : rows_) {
        if (row.text != nullptr && row.asked->isChecked()) {
            const std::string text = row.text->text().toStdString();
            if (!row.key->CheckText(text)) {
                return std::string(row.key->Label) + ": " + WhyRefused(*row.key, text);
            }
        }
    }
    return {};
}

Extras ExtrasDialog::Values() const {
    Extras values = initial_;
    for (const Row& row : rows_) {
        if (row.text != nullptr) {
            if (row.asked->isChecked()) {
                SetExtra(values, *row.key, row.text->text().toStdString());
            } else {
                ClearExtra(values, *row.key);
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
