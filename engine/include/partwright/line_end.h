#pragma once

namespace partwright {

// What ends a line: the pair CR LF, or a lone LF (a CR before it is then an
// ordinary unit of its line). Auto: the first line end in each source
// decides (CR LF when it has none); the run settles it before cutting, so a
// cutter never sees it (it would cut at CR LF).
enum class LineEnd { CrLf, Lf, Auto };

// The line end a run uses unless told otherwise: each source's own, on
// Windows too, where LF files are common (exports, repositories, Notepad).
inline constexpr LineEnd kDefaultLineEnd = LineEnd::Auto;

}  // namespace partwright
