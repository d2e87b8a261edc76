#include "filelist/path_join.h"

namespace partwright {

namespace {

bool IsSeparator(QChar c, PathStyle style) { return c == u'/' || (style == PathStyle::Windows && c == u'\\'); }

}  // namespace

QString CollapseSeparators(const QString& path, PathStyle style) {
    qsizetype start = 0;
    if (path.size() >= 2 && IsSeparator(path[0], style) && IsSeparator(path[1], style)) start = 2;
    QString result = path.left(start);
    result.reserve(path.size());
    for (qsizetype i = start; i < path.size(); ++i) {
        const bool repeated = IsSeparator(path[i], style) && !result.isEmpty() && IsSeparator(result.back(), style);
        if (!repeated) result.append(path[i]);
    }
    return result;
}

QString JoinPath(const QString& folder, const QString& name, PathStyle style) {
    // Keep to the folder's own kind of separator so a path never mixes them.
    const bool backslashed = style == PathStyle::Windows && folder.contains(u'\\') && !folder.contains(u'/');
    const QChar separator = backslashed ? u'\\' : u'/';
    // A root keeps its one separator; collapsing alone would take "/" + "/a"
    // for a network pair.
    if (!folder.isEmpty() && IsSeparator(folder.back(), style)) return CollapseSeparators(folder + name, style);
    return CollapseSeparators(folder + separator + name, style);
}

}  // namespace partwright
