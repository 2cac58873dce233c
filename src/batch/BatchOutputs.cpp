#include "batch/BatchOutputs.h"

namespace trawl {

Status WriteBatchCsv(const std::string&, int, const Settings&, ResultStore&, Prompts&)
{
    return Status::Failure("CSV output is not part of this build yet.");
}

Status WriteBatchHtml(const std::string&, int, const std::string&, const Settings&, ResultStore&, Clock&, Prompts&)
{
    return Status::Failure("HTML output is not part of this build yet.");
}

} // namespace trawl
