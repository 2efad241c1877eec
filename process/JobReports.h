#pragma once
// Job reports: how the search and the uploads tell the windows how far they
// are. The windows (or the command line, or a test) install the sink that
// carries a report to its receiver; a report that finds no receiver is
// dropped. What a report looks like on the windows' side, messages 1125 and
// 1126, is the windows' business (ui/JobReportWire.h).

#include "process/JobReport.h"

namespace orvane {

class JobReportSink {
public:
    virtual ~JobReportSink() = default;
    // Returns false when the report's receiver is not there; the report is
    // then dropped. May be called from any thread.
    virtual bool deliver(const JobReport& report) = 0;
};

JobReportSink* InstallJobReportSink(JobReportSink* sink);
// The process's sink, or nullptr.
JobReportSink* InstalledJobReportSink();

// Delivers the report to the process's sink; true when it found its receiver.
bool ReportJob(const JobReport& report);

}  // namespace orvane
