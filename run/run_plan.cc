#include "run/run_plan.h"

#include "run/conversion.h"

namespace tervo {

namespace {

ViewerOptions ViewerOptionsOf(const Extras& extras) {
    ViewerOptions viewer;
    viewer.Thinning.Seconds = extras.ThinSeconds.value_or(0);
    viewer.Thinning.Metres = extras.ThinMetres.value_or(0);
    viewer.Thinning.Degrees = extras.ThinDegrees.value_or(0);
    viewer.MaxPlacemarks = static_cast<size_t>(extras.MaxPlacemarks.value_or(0));
    viewer.LineTolerance = extras.LineTolerance;
    viewer.Regions = extras.Regions.value_or(0) != 0;
    // The preset's own: a viewer that builds every placemark at load (CesiumJS)
    // gets them brief; a part asked for alone keeps the full form.
    viewer.BriefPlacemarks = extras.Viewer.value_or(0) != 0;
    return viewer;
}

std::optional<SplitRule> SplitRuleOf(const Extras& extras, const DocumentPlace& place) {
    const bool byDay = extras.SplitDay.value_or(0) != 0;
    if (place.PartOnly || (!extras.SplitGap && !byDay)) {
        return std::nullopt;
    }
    return SplitRule{extras.SplitGap, byDay};
}

}  // namespace

RunPlan PlanRun(const ConversionSettings& settings, DocumentPlace place, bool forReport,
                bool folderOnThread) {
    RunPlan plan;
    plan.Format = settings.Format;
    plan.Extras = ResolveExtras(settings.Extras);
    plan.Viewer = ViewerOptionsOf(plan.Extras);
    plan.Place = std::move(place);
    plan.Split = SplitRuleOf(plan.Extras, plan.Place);
    for (const RunExtra& row : RunExtras()) {
        if ((forReport || !row.ForReportOnly) && row.AskedFor(plan.Extras)) {
            plan.Rows.push_back(&row);
            plan.NeedsSummary = plan.NeedsSummary || (row.Needs & kNeedsSummary) != 0;
            plan.NeedsPlots = plan.NeedsPlots || (row.Needs & kNeedsPlots) != 0;
            plan.NeedsAccuracy = plan.NeedsAccuracy || (row.Needs & kNeedsAccuracy) != 0;
            plan.NeedsGaps = plan.NeedsGaps || (row.Needs & kNeedsGaps) != 0;
            plan.DeclaresGx = plan.DeclaresGx || (row.Needs & kNeedsGxPrefix) != 0;
            plan.HeadAfterReading = plan.HeadAfterReading || row.Description != nullptr;
        }
    }
    plan.NeedsAccuracy = plan.NeedsAccuracy && AsksForAccuracy(plan.Extras);
    plan.Filter = FilterOf(plan.Extras);
    // The folder on its thread dates the points while they are read, until it
    // is finished after the extras' work on the list: a summary, the plots and
    // an accuracy are of the points as read (and would race with that thread),
    // a head held back must come first, a filter takes epochs out once all
    // are read, and a split log's pieces are known only then.
    plan.FolderWhileReading = folderOnThread && !plan.Viewer.ChoosesPlacemarks() && !plan.NeedsSummary &&
                              !plan.NeedsPlots && !plan.NeedsAccuracy && !plan.HeadAfterReading &&
                              !plan.Filter.IsActive() && !plan.Split;
    plan.DatesFromZda = plan.Extras.DatesFromZda.value_or(0) != 0;
    return plan;
}

}  // namespace tervo
