// The summary of a completed run, shown when the ShowSummary extra asks for it:
// the summary table as text, then each plot as a picture, in one scrollable page.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "run/conversion.h"

namespace tervo {

// The table is a QLabel named "SummaryText" in a fixed-width font; each plot a
// QLabel named after its entry's file name without the extension ("sky"),
// holding the picture, its tooltip the plot's title. A plot whose bytes are no
// picture shows its title instead.
class SummaryDialog : public QDialog {
public:
    SummaryDialog(const std::string& table, const std::vector<NamedPlot>& plots, QWidget* parent = nullptr);
};

}  // namespace tervo
