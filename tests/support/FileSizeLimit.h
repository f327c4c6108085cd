// Runs a piece of a test in a child process whose files cannot grow past a size, so that a write
// fails there as on a full disk (with EFBIG), without a full disk or special rights.
#pragma once

#include <QString>
#include <functional>

namespace FileSizeLimit {

// Runs fn in a child process in which no file grows past lBytes (the signal of an oversized
// write is ignored, so the write itself fails). Gives the text fn gave, or a sentence saying how
// the child ended otherwise. The child ends without running destructors, so the test's
// temporary folders stay with the parent.
QString Run(qint64 lBytes, const std::function<QString()>& fn);

} // namespace FileSizeLimit
