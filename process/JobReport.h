#pragma once
// What a job tells the windows, in the job's own words: how far it is, that
// it finished with a result code, or that it failed and has already told the
// operator why. The wire form the windows receive (messages 1125 and 1126
// with their wParam and lParam) is made from it in ui/JobReportWire.cpp and
// read back there, and nowhere else.

namespace orvane {

// A new kind of job adds a value here and, when its wire form differs from an
// upload's, a case in the windows' WireFormOf.
enum class JobKind {
    Search,
    Firmware,
    AddressList,
};

struct JobReport {
    enum class Kind {
        Progress,  // permille of the job done, 0 to 1000
        Finished,  // result is the job's result code
        Failed,    // stopped early; the operator has been told
    };

    JobKind job;
    Kind kind;
    int permille = 0;
    long result = 0;

    static JobReport Progress(JobKind job, int permille) { return {job, Kind::Progress, permille, 0}; }
    static JobReport Finished(JobKind job, long result) { return {job, Kind::Finished, 0, result}; }
    static JobReport Failed(JobKind job) { return {job, Kind::Failed, 0, 0}; }

    bool operator==(const JobReport&) const = default;
};

}  // namespace orvane
