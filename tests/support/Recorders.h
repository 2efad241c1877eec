#pragma once
// Recording stand-ins for the windows: what a test installs in place of the
// message boxes and the progress and main windows.

#include "process/JobReports.h"
#include "process/OperatorPrompt.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace orvane::test {

class RecordingPrompt : public OperatorPrompt {
public:
    RecordingPrompt() { previous_ = InstallOperatorPrompt(this); }
    ~RecordingPrompt() override { InstallOperatorPrompt(previous_); }
    void showMessage(const char* text) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        messages_.emplace_back(text);
    }
    std::vector<std::string> messages()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return messages_;
    }

private:
    OperatorPrompt* previous_ = nullptr;
    std::mutex mutex_;
    std::vector<std::string> messages_;
};

using Report = JobReport;

// Records every report; it says it found its receiver while receiverOpen
// is true. onReport runs inside delivery.
class RecordingReports : public JobReportSink {
public:
    RecordingReports() { previous_ = InstallJobReportSink(this); }
    ~RecordingReports() override { InstallJobReportSink(previous_); }
    bool deliver(const JobReport& report) override
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            reports_.push_back(report);
        }
        if (onReport)
            onReport(report);
        return receiverOpen;
    }
    std::vector<Report> reports()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return reports_;
    }

    bool receiverOpen = true;
    std::function<void(const Report&)> onReport;

private:
    JobReportSink* previous_ = nullptr;
    std::mutex mutex_;
    std::vector<Report> reports_;
};

}  // namespace orvane::test
