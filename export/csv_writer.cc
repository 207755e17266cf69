#include "export/csv_writer.h"

#include "export/epoch_fields.h"
#include "export/export_stream.h"

namespace tervo {

bool WriteCsv(ByteSink& sink, std::span<const waypoints* const> points, LogFormat format) {
    using Kind = FieldValue::Kind;
    ExportStream out(sink);
    const auto& fields = EpochFields();
    for (size_t i = 0; i < fields.size(); ++i) {
        out.Text(i == 0 ? "" : ",").Text(fields[i].Name);
    }
    out.Text("\r\n");
    for (const waypoints* point : points) {
        for (size_t i = 0; i < fields.size(); ++i) {
            if (i > 0) {
                out.Text(",");
            }
            const FieldValue value = fields[i].ValueOf(*point, format);
            switch (value.kind) {
                case Kind::None:
                    break;
                case Kind::Number:
                    out.Fixed(value.number, value.decimals);
                    break;
                case Kind::Integer:
                    out.Int(value.integer);
                    break;
                case Kind::Text:
                    out.Text(CsvField(value.text));
                    break;
                case Kind::Boolean:
                    out.Text(value.boolean ? "1" : "0");
                    break;
                case Kind::DateTime:
                    out.Text(value.text).Text("T").Text(value.time).Text("Z");
                    break;
            }
        }
        out.Text("\r\n");
    }
    return out.Close();
}

}  // namespace tervo
