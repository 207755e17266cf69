#include "app/window/widgets.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionGroupBox>
#include <QToolButton>
#include <algorithm>

#include "app/field_values.h"

namespace tervo {

void CaptionGroupBox::setCaptionColor(const QColor& color) {
    captionColor_ = color;
    update();
}

void CaptionGroupBox::initStyleOption(QStyleOptionGroupBox* option) const {
    QGroupBox::initStyleOption(option);
    if (captionColor_.isValid()) {
        // Some styles draw the caption in textColor, others in the window-text colour.
        option->textColor = captionColor_;
        option->palette.setColor(QPalette::WindowText, captionColor_);
    }
}

ColorSwatch::ColorSwatch(QWidget* parent) : QWidget(parent) { setFixedSize(17, 17); }

void ColorSwatch::setColor(int32_t color) {
    color_ = color;
    update();
}

void ColorSwatch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QColor fill(color_ & 0xFF, (color_ >> 8) & 0xFF, (color_ >> 16) & 0xFF);
    QColor border = Qt::black;
    if (!isEnabled()) {
        // Greyed out: the colour washed halfway into the background, a grey border.
        const QColor face = palette().color(QPalette::Window);
        fill = QColor((fill.red() + face.red()) / 2, (fill.green() + face.green()) / 2,
                      (fill.blue() + face.blue()) / 2);
        border = palette().color(QPalette::Disabled, QPalette::WindowText);
    }
    painter.fillRect(rect(), fill);
    painter.setPen(border);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void ColorSwatch::mousePressEvent(QMouseEvent* event) {
    event->accept();
    emit mousePressed();
}

UpDown::UpDown(QWidget* parent) : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton* button : {up_, down_}) {
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoRepeat(true);
    }
    connect(up_, &QToolButton::clicked, this, [this] { emit clicked(UpDownButton::Up); });
    connect(down_, &QToolButton::clicked, this, [this] { emit clicked(UpDownButton::Down); });
}

void UpDown::resizeEvent(QResizeEvent*) {
    const int upHeight = height() / 2;
    up_->setGeometry(0, 0, width(), upHeight);
    down_->setGeometry(0, upHeight, width(), height() - upHeight);
}

BarGauge::BarGauge(QWidget* parent) : QWidget(parent) {}

void BarGauge::setRange(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = std::max(minimum, maximum);
    setValue(value_);
}

void BarGauge::setValue(int value) {
    value_ = std::clamp(value, minimum_, maximum_);
    update();
}

int BarGauge::percent() const {
    if (maximum_ == minimum_) {
        return 0;
    }
    return static_cast<int>(100LL * (value_ - minimum_) / (maximum_ - minimum_));
}

QString BarGauge::text() const { return QString::number(percent()) + QLatin1Char('%'); }

void BarGauge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    const QRect inside = rect().adjusted(1, 1, -1, -1);
    const int barWidth = inside.width() * percent() / 100;
    const QRect bar(inside.left(), inside.top(), barWidth, inside.height());
    const QColor navy(0, 0, 128);

    painter.fillRect(inside, Qt::white);
    painter.fillRect(bar, navy);
    painter.setPen(Qt::black);
    painter.drawText(inside, Qt::AlignCenter, text());
    // Over the bar the same text in white, so the digits stay readable at any value.
    painter.setClipRect(bar);
    painter.setPen(Qt::white);
    painter.drawText(inside, Qt::AlignCenter, text());
    painter.setClipping(false);
    painter.setPen(Qt::black);
    painter.drawRect(frame);
}

DateMaskEdit::DateMaskEdit(QWidget* parent) : QLineEdit(parent) {
    setInputMask(QStringLiteral("9999-99-99;_"));
    setMaxLength(10);
    connect(this, &QLineEdit::textEdited, this, [this] { edited_ = true; });
}

void DateMaskEdit::setDateText(const std::string& text) {
    setText(QString::fromStdString(FitDateToMask(text)));
    textBeforeEdit_ = displayText();
    edited_ = false;
}

std::string DateMaskEdit::dateText() const { return displayText().toStdString(); }

void DateMaskEdit::focusInEvent(QFocusEvent* event) {
    if (!edited_) {
        textBeforeEdit_ = displayText();
    }
    QLineEdit::focusInEvent(event);
}

bool DateMaskEdit::checkEdit() {
    if (reportPending_) {
        return false;
    }
    if (!isEnabled() || !edited_ || hasAcceptableInput()) {
        return true;
    }
    QApplication::beep();
    ReportInvalid();
    return false;
}

void DateMaskEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (!isEnabled()) {
        // Disabled under the user's hands (the controls locked for a run): not a
        // leaving, so no check and no box. A complete edit is done; an incomplete
        // one is checked when the user next leaves the field.
        if (hasAcceptableInput()) {
            edited_ = false;
        }
        return;
    }
    // Another window taking the focus (our own error box among them) is no leaving.
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) {
        return;
    }
    if (!edited_) {
        return;
    }
    if (hasAcceptableInput()) {
        edited_ = false;
        return;
    }
    QApplication::beep();
    if (!reportPending_) {
        reportPending_ = true;
        // The box and the focus come back after the focus change has settled.
        QMetaObject::invokeMethod(this, &DateMaskEdit::ReportInvalid, Qt::QueuedConnection);
    }
}

void DateMaskEdit::ReportInvalid() {
    reportPending_ = false;
    emit invalidInput();
    if (isEnabled() && isVisible()) {
        setFocus(Qt::OtherFocusReason);
    }
}

void DateMaskEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && edited_) {
        setText(textBeforeEdit_);
        edited_ = false;
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

}  // namespace tervo
