// The window's small custom controls: colour swatches, up/down arrow pairs, the
// percentage gauge and the masked date field.
#pragma once

#include <QColor>
#include <QGroupBox>
#include <QLineEdit>
#include <QWidget>
#include <cstdint>

class QToolButton;

namespace tervo {

// A group box whose caption alone can be given a colour; the controls inside
// keep theirs. An invalid colour leaves the caption to the style.
class CaptionGroupBox : public QGroupBox {
    Q_OBJECT
public:
    using QGroupBox::QGroupBox;
    QColor captionColor() const { return captionColor_; }
    void setCaptionColor(const QColor& color);

protected:
    void initStyleOption(QStyleOptionGroupBox* option) const override;

private:
    QColor captionColor_;
};

// A 17 x 17 rectangle with a black one-pixel border, filled with its colour.
// Reports every mouse press; a disabled swatch gets none from Qt, so it cannot be
// recoloured.
class ColorSwatch : public QWidget {
    Q_OBJECT
public:
    explicit ColorSwatch(QWidget* parent = nullptr);
    // red + 256 * green + 65536 * blue
    int32_t color() const { return color_; }
    void setColor(int32_t color);

signals:
    void mousePressed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    int32_t color_ = 0xFFFFFF;
};

enum class UpDownButton { Up, Down };

// A vertical pair of arrow buttons. The value lives in the field beside it: the
// arrows only report which of them was clicked.
class UpDown : public QWidget {
    Q_OBJECT
public:
    explicit UpDown(QWidget* parent = nullptr);
    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }

signals:
    void clicked(tervo::UpDownButton button);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QToolButton* up_;
    QToolButton* down_;
};

// A horizontal bar gauge: a navy bar on white with a single border and the
// percentage in its middle, drawn white over the bar and black beside it.
class BarGauge : public QWidget {
    Q_OBJECT
public:
    explicit BarGauge(QWidget* parent = nullptr);
    void setRange(int minimum, int maximum);
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    int value() const { return value_; }
    // Kept within the range.
    void setValue(int value);
    int percent() const;
    // What the gauge shows, e.g. "37%".
    QString text() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int minimum_ = 0;
    int maximum_ = 100;
    int value_ = 0;
};

// The date field: mask "####-##-##", every digit place required, "_" for an empty
// place. Leaving it after an edit with an empty place beeps, keeps the focus and
// reports invalidInput(); Escape brings back the text it had before the edit.
// Losing the focus because the field is disabled (the window locks its controls
// for a run) is no leaving: it checks nothing.
class DateMaskEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit DateMaskEdit(QWidget* parent = nullptr);
    // Sets the text fitted to the mask; the field counts as unedited again.
    void setDateText(const std::string& text);
    // The text as the field shows it, hyphens and "_" included.
    std::string dateText() const;
    // The check of leaving the field, run on demand (before a run starts):
    // false, after a beep, invalidInput() and the focus taken back, when the
    // enabled field was edited to a text with an empty place; true otherwise.
    // Also false, without a second report, while a report is on its way.
    bool checkEdit();

signals:
    void invalidInput();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ReportInvalid();

    QString textBeforeEdit_;
    bool edited_ = false;
    bool reportPending_ = false;
};

}  // namespace tervo
