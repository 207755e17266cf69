#include "app/window/extras_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSpinBox>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>
#include <span>
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
    auto* page = new QWidget;
    auto* boxes = new QVBoxLayout(page);
    std::vector<QGridLayout*> grids;
    for (const ExtraGroupTitle& group : ExtraGroups()) {
        const std::span<const ExtraKey> keys = ExtraKeysOf(group.Group);
        if (keys.empty()) {
            continue;
        }
        auto* box = new QGroupBox(QString::fromUtf8(group.Title), page);
        auto* grid = new QGridLayout(box);
        int line = 0;
        for (const ExtraKey& key : keys) {
            AddRow(key, *box, *grid, line++);
        }
        boxes->addWidget(box);
        grids.push_back(grid);
    }
    boxes->addStretch();
    // The boxes' value columns line up: every first column as wide as the widest.
    int labelWidth = 0;
    for (const Row& row : rows_) {
        labelWidth = std::max(labelWidth, row.asked->sizeHint().width());
    }
    for (QGridLayout* grid : grids) {
        grid->setColumnMinimumWidth(0, labelWidth);
    }

    // The groups scroll once they are taller than the screen; the dialog is as
    // wide as they are, so only the vertical bar ever shows.
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("ExtrasGroups"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    scroll->setWidget(page);
    const QSize pageSize = page->sizeHint();
    scroll->setMinimumWidth(pageSize.width() +
                            style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll));

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
    layout->addWidget(scroll);
    layout->addWidget(problem_);
    layout->addWidget(buttons);

    // Every group at once where the screen allows; its available height less a
    // tenth for the title bar otherwise.
    const QMargins margins = layout->contentsMargins();
    const int whole = margins.top() + pageSize.height() + layout->spacing() + buttons->sizeHint().height() +
                      margins.bottom();
    const QScreen* screen = (parent != nullptr ? parent->window() : this)->screen();
    const int most = screen != nullptr ? screen->availableGeometry().height() * 9 / 10 : whole;
    resize(minimumSizeHint().width(), std::min(whole, most));
}

void ExtrasDialog::AddRow(const ExtraKey& key, QWidget& box, QGridLayout& grid, int line) {
    const QString help = QString::fromUtf8(key.Help);
    Row row;
    row.key = &key;
    row.asked = new QCheckBox(QString::fromUtf8(key.Label), &box);
    row.asked->setObjectName(QString::fromLatin1(key.Key));
    row.asked->setToolTip(help);
    row.asked->setChecked(IsAsked(initial_, key) &&
                          (key.Kind != ExtraKind::Flag || (initial_.*key.Member).value_or(0) != 0));
    grid.addWidget(row.asked, line, 0);
    if (QWidget* field = MakeValueField(row, box)) {
        field->setObjectName(QString::fromLatin1(key.Key) + QStringLiteral("Value"));
        field->setToolTip(help);
        field->setEnabled(row.asked->isChecked());
        connect(row.asked, &QCheckBox::toggled, field, &QWidget::setEnabled);
        grid.addWidget(field, line, 1);
    }
    if (row.text != nullptr && std::string_view(key.TextMeaning) == "FILE") {
        auto* choose = new QPushButton(QString::fromUtf8("Choose\u2026"), &box);
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
        grid.addWidget(choose, line, 2);
    }
    rows_.push_back(row);
}

QWidget* ExtrasDialog::MakeValueField(Row& row, QWidget& box) {
    const ExtraKey& key = *row.key;
    if (key.Kind == ExtraKind::Text) {
        row.text = new QLineEdit(QString::fromStdString((initial_.*key.TextMember).value_or("")), &box);
        row.text->setPlaceholderText(QString::fromUtf8(key.TextMeaning));
        return row.text;
    }
    // A value not asked for shows the key's Start, where it begins once ticked on.
    const double shown = (initial_.*key.Member).value_or(key.Start);
    if (key.Kind == ExtraKind::Count) {
        row.count = new QSpinBox(&box);
        row.count->setRange(ClampToInt(key.Min), ClampToInt(key.Max));
        row.count->setValue(ClampToInt(shown));
        row.shown = row.count->value();
        return row.count;
    }
    if (key.Kind == ExtraKind::Number) {
        row.number = new QDoubleSpinBox(&box);
        row.number->setDecimals(kNumberDecimals);
        row.number->setRange(key.Min, key.Max);
        row.number->setValue(shown);
        row.shown = row.number->value();
        return row.number;
    }
    if (key.Kind == ExtraKind::Choice) {
        row.choice = new QComboBox(&box);
        for (const char* name : key.Choices) {
            row.choice->addItem(QString::fromUtf8(name));
        }
        row.choice->setCurrentIndex(static_cast<int>(std::clamp(shown, key.Min, key.Max)));
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
