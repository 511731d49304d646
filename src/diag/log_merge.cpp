#include "diag/trace_log.h"

// Closing is all the merge does until the parent-log append is built on CStdioFileEx.
void CTraceLog::CloseAndMergeLog() { Close(); }
