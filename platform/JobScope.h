#pragma once
// What a job running on a worker thread of its own reports to, and what
// stops it: while a ScopedJob lives, the thread's job reports go to its sink,
// its operator messages to its prompt, and its sockets answer to its cancel
// token, instead of the process-wide ones. Many uploads can then run at once,
// each told apart, with the upload code unchanged.

namespace orvane {

class CancelToken;
class JobReportSink;
class OperatorPrompt;

struct JobScope {
    JobReportSink* reports = nullptr;  // nullptr: reports are dropped
    OperatorPrompt* prompt = nullptr;  // nullptr: the process's prompt
    CancelToken* cancel = nullptr;
};

class ScopedJob {
public:
    explicit ScopedJob(const JobScope& scope);
    ~ScopedJob();
    ScopedJob(const ScopedJob&) = delete;
    ScopedJob& operator=(const ScopedJob&) = delete;

private:
    const JobScope* previous_;
    JobScope scope_;
};

// The calling thread's scope, or nullptr outside any.
const JobScope* CurrentJobScope();

}  // namespace orvane
