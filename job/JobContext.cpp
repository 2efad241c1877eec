#include "job/JobContext.h"

#include "process/JobReports.h"
#include "process/OperatorPrompt.h"

#include <utility>

namespace orvane {

JobContext JobContext::Process() { return {InstalledJobReportSink(), &ProcessOperatorPrompt(), nullptr, {}}; }

JobContext JobContext::through(CameraPath camera) const
{
    JobContext copy = *this;
    copy.path = std::move(camera);
    return copy;
}

JobContext JobContext::tellingTo(OperatorPrompt* whom) const
{
    JobContext copy = *this;
    copy.prompt = whom;
    return copy;
}

bool JobContext::report(const JobReport& r) const { return reports != nullptr && reports->deliver(r); }

void JobContext::tell(const char* text) const
{
    if (prompt != nullptr)
        prompt->showMessage(text);
}

}  // namespace orvane
