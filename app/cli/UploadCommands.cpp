// File uploads on the command line: the progress window becomes a bar on
// stderr, and the final report's result code is printed on stdout.

#include "app/cli/CliCommands.h"

#include "control/FileUpload.h"
#include "control/FirmwareKind.h"
#include "process/JobReports.h"
#include "process/OperatorPrompt.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace orvane::cli {
namespace {

constexpr int kBarWidth = 40;

// Stands in for the progress window: progress moves the bar, the final
// report ends the job with its result code.
class ProgressBarSink : public JobReportSink {
public:
    bool deliver(const JobReport& report) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (report.kind == JobReport::Kind::Finished) {
            if (drawn_)
                std::fputc('\n', stderr);
            drawn_ = false;
            result_ = report.result;
            finished_ = true;
        } else if (report.kind == JobReport::Kind::Progress) {
            draw(report.permille);
        }
        return true;
    }

    // Ends a drawn bar's line, so that what follows on stderr starts a line of its own.
    void endLine()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (drawn_)
            std::fputc('\n', stderr);
        drawn_ = false;
    }

    bool finished() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return finished_;
    }
    long result() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return result_;
    }

private:
    void draw(long permille)
    {
        long clamped = permille < 0 ? 0 : (permille > 1000 ? 1000 : permille);
        int filled = static_cast<int>(clamped * kBarWidth / 1000);
        char bar[kBarWidth + 1];
        for (int i = 0; i < kBarWidth; ++i)
            bar[i] = i < filled ? '#' : '.';
        bar[kBarWidth] = '\0';
        std::fprintf(stderr, "\r[%s] %4ld/1000", bar, clamped);
        std::fflush(stderr);
        drawn_ = true;
    }

    mutable std::mutex mutex_;
    bool drawn_ = false;
    bool finished_ = false;
    long result_ = 0;
};

// The upload's messages pass through here to end the bar's line first.
class BarAwarePrompt : public OperatorPrompt {
public:
    BarAwarePrompt(ProgressBarSink& bar, OperatorPrompt& next) : bar_(bar), next_(next) {}
    void showMessage(const char* text) override
    {
        bar_.endLine();
        next_.showMessage(text);
    }

private:
    ProgressBarSink& bar_;
    OperatorPrompt& next_;
};

int RunUpload(const JobContext& job, const std::string& camera, const std::string& file, UploadRoutine routine)
{
    ProgressBarSink sink;
    BarAwarePrompt prompt(sink, job.prompt != nullptr ? *job.prompt : ProcessOperatorPrompt());
    JobContext upload = job.tellingTo(&prompt);
    upload.reports = &sink;
    UploadFile(upload, routine, file.c_str(), camera.c_str());
    // Without a final report the upload never got that far (no connection,
    // a failed send): its message is on stderr and there is no code to print.
    if (!sink.finished())
        return kExitFailed;
    const long code = sink.result();
    std::fprintf(stdout, "%ld\n", code);
    return IsAcceptedReply(code) ? kExitOk : kExitFailed;
}

}  // namespace

int RunUploadFirmware(const JobContext& job, const std::string& camera, const std::string& file)
{
    return RunUpload(job, camera, file, FirmwareRoutineForPath(file.c_str()));
}

int RunUploadOnvif(const JobContext& job, const std::string& camera, const std::string& file)
{
    return RunUpload(job, camera, file, UploadRoutine::OnvifIps);
}

}  // namespace orvane::cli
