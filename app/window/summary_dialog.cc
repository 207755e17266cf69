#include "app/window/summary_dialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPixmap>
#include <QScrollArea>
#include <QVBoxLayout>

#include "core/paths.h"

namespace tervo {

namespace {

// "plots/sky.png" gives "sky".
QString PlotObjectName(const std::string& entry) {
    const std::string name = FileNamePart(entry);
    return QString::fromStdString(name.substr(0, name.rfind('.')));
}

}  // namespace

SummaryDialog::SummaryDialog(const std::string& table, const std::vector<NamedPlot>& plots, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("SummaryDialog"));
    setWindowTitle(QStringLiteral("Summary"));
    auto* page = new QWidget;
    auto* pageLayout = new QVBoxLayout(page);
    auto* text = new QLabel(QString::fromStdString(table), page);
    text->setObjectName(QStringLiteral("SummaryText"));
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    pageLayout->addWidget(text);
    for (const NamedPlot& plot : plots) {
        auto* picture = new QLabel(page);
        picture->setObjectName(PlotObjectName(plot.Entry));
        picture->setToolTip(QString::fromStdString(plot.Title));
        QPixmap pixmap;
        if (pixmap.loadFromData(plot.Png.data(), static_cast<unsigned>(plot.Png.size()), "PNG")) {
            picture->setPixmap(pixmap);
        } else {
            picture->setText(QString::fromStdString(plot.Title));
        }
        pageLayout->addWidget(picture);
    }
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(page);
    scroll->setWidgetResizable(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll);
    layout->addWidget(buttons);
    // Wide enough for a plot beside the scroll bar, and not taller than most screens.
    resize(720, 640);
}

}  // namespace tervo
