#pragma once

#include "partwright/split_run.h"
#include "ui/window_run.h"

namespace partwright {

// The box at the end of a run: "Done." (or what stopped it, or what failed),
// then how many pieces were written from how many sources and where, how many
// took the place of existing files, how many names were given a number to
// avoid a collision, how many older pieces of the same names a run with more
// pieces left beside the new ones (naming the first few), and the failures as FinalReport lists them. `folder` is
// set when every piece went into one folder, for the box's "Open folder".
[[nodiscard]] EndReport ComposeEndReport(const RunReport& report, const RunPlaces& places, int maxListed = 10);

}  // namespace partwright
