#pragma once

namespace partwright {

// What ends a line: the pair CR LF, or a lone LF (a CR before it is then an
// ordinary unit of its line).
enum class LineEnd { CrLf, Lf };

}  // namespace partwright
